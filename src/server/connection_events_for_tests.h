// Test helper: the connection events a test follows, recorded by name in the order they run.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "server/server_settings.h"

namespace vidoria::testing {

inline void RecordConnectionEvents(ConnectionEvents& events,
                                   const std::function<void(const std::string&)>& record) {
  for (auto [name, member] :
       std::initializer_list<std::pair<const char*, ConnectionHandler ConnectionEvents::*>>{
           {"Connecting", &ConnectionEvents::onConnecting},
           {"ClientConnect", &ConnectionEvents::onClientConnect},
           {"Connect", &ConnectionEvents::onConnect},
           {"Disconnecting", &ConnectionEvents::onDisconnecting},
           {"Disconnect", &ConnectionEvents::onDisconnect},
           {"ClientDisconnect", &ConnectionEvents::onClientDisconnect},
           {"RequestAccepted", &ConnectionEvents::onRequestAccepted},
           {"ResponseDone", &ConnectionEvents::onResponseDone}}) {
    events.*member = [record, event = std::string(name)](Connection&) { record(event); };
  }
}

}  // namespace vidoria::testing
