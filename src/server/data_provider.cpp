#include "server/data_provider.h"

#include <algorithm>

#include "server/connection.h"
#include "server/exceptions.h"
#include "server/http_server.h"

namespace vidoria {

void ComponentList::Insert(AbsDataServerLink* component) {
  Remove(component);
  auto at = std::find_if(items_.begin(), items_.end(), [&](AbsDataServerLink* other) {
    return other->CheckOrder() >= component->CheckOrder();
  });
  items_.insert(at, component);
}

void ComponentList::Remove(AbsDataServerLink* component) {
  items_.erase(std::remove(items_.begin(), items_.end(), component), items_.end());
}

AbsDataServerLink::~AbsDataServerLink() {
  Detach();
}

void AbsDataServerLink::Detach() {
  if (server_) server_->components_.Remove(this);
  if (link_) link_->components_.Remove(this);
  server_ = nullptr;
  link_ = nullptr;
}

void AbsDataServerLink::SetCheckOrder(int order) {
  checkOrder_ = order;
  if (server_) server_->components_.Insert(this);
  if (link_) link_->components_.Insert(this);
}

void AbsDataServerLink::SetServer(HttpServer* server) {
  // Attached already, it stays where it is: a restart must not rewrite what the connections of
  // the previous listen, still closing on other threads, read.
  if (server != nullptr && server == server_) return;
  Detach();
  server_ = server;
  if (server_) server_->components_.Insert(this);
}

void AbsDataServerLink::SetLink(DataServerLink* link) {
  for (DataServerLink* up = link; up != nullptr; up = up->Link()) {
    if (up == this) throw EConnection("Circular DataServerLink reference!");
  }
  Detach();
  link_ = link;
  if (link_) link_->components_.Insert(this);
}

DataServerLink::~DataServerLink() {
  // Copy: detaching edits the list.
  auto items = components_.Items();
  for (AbsDataServerLink* component : items) component->Detach();
}

namespace dispatch {

namespace {
// Returns true when the pass must stop.
bool Offer(const ComponentList& list, Connection& connection) {
  for (AbsDataServerLink* component : list.Items()) {
    if (DataProvider* provider = component->AsProvider()) {
      if (!provider->onCheckRequest) continue;
      connection.SetActiveProvider(provider);
      connection.RunEvent(provider->onCheckRequest);
    } else if (DataServerLink* link = component->AsLink()) {
      if (Offer(link->Components(), connection)) return true;
    }
    if (connection.Request().accepted || !connection.Request().active) return true;
  }
  return false;
}
}  // namespace

void CheckPass(const ComponentList& list, Connection& connection) {
  Offer(list, connection);
}

void LinkChain(DataProvider* provider, ConnectionHandler DataServerLink::*member,
               Connection& connection) {
  for (DataServerLink* link = provider ? provider->Link() : nullptr; link; link = link->Link()) {
    connection.RunEvent(link->*member);
  }
}

void SessionOpen(const ComponentList& list, Connection& connection) {
  for (AbsDataServerLink* component : list.Items()) {
    if (DataProvider* provider = component->AsProvider()) {
      connection.RunEvent(provider->onSessionOpen);
    } else if (DataServerLink* link = component->AsLink()) {
      connection.RunEvent(link->onSessionOpen);
      SessionOpen(link->Components(), connection);
    }
  }
}

void SessionClose(const ComponentList& list, Connection& connection) {
  for (AbsDataServerLink* component : list.Items()) {
    if (DataProvider* provider = component->AsProvider()) {
      connection.RunEvent(provider->onSessionClose);
    } else if (DataServerLink* link = component->AsLink()) {
      SessionClose(link->Components(), connection);
      connection.RunEvent(link->onSessionClose);
    }
  }
}

void ListenStart(const ComponentList& list, HttpServer& server) {
  for (AbsDataServerLink* component : list.Items()) {
    if (DataProvider* provider = component->AsProvider()) {
      if (provider->onListenStart) provider->onListenStart(server);
    } else if (DataServerLink* link = component->AsLink()) {
      if (link->onListenStart) link->onListenStart(server);
      ListenStart(link->Components(), server);
    }
  }
}

void ListenStop(const ComponentList& list, HttpServer& server) {
  for (AbsDataServerLink* component : list.Items()) {
    if (DataProvider* provider = component->AsProvider()) {
      if (provider->onListenStop) provider->onListenStop(server);
    } else if (DataServerLink* link = component->AsLink()) {
      ListenStop(link->Components(), server);
      if (link->onListenStop) link->onListenStop(server);
    }
  }
}

}  // namespace dispatch
}  // namespace vidoria
