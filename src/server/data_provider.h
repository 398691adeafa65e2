// Providers answer requests; links group them. Both are attached to a server in check order.
#pragma once

#include <functional>
#include <vector>

namespace vidoria {

class Connection;
class HttpServer;
class DataServerLink;
class DataProvider;

using ConnectionHandler = std::function<void(Connection&)>;
using ServerHandler = std::function<void(HttpServer&)>;

class AbsDataServerLink;

// An ordered list of attached components. Inserting removes the component first and places it
// before the first entry whose CheckOrder is greater than or equal to its own, so among equal
// orders the component inserted last comes first.
class ComponentList {
 public:
  void Insert(AbsDataServerLink* component);
  void Remove(AbsDataServerLink* component);
  const std::vector<AbsDataServerLink*>& Items() const { return items_; }

 private:
  std::vector<AbsDataServerLink*> items_;
};

// A component attached either to a server or to a link, never to both. Attaching and changing
// CheckOrder happen while the server is not listening (the lists are read without a lock while
// requests are dispatched). Owned by the program; it detaches itself when destroyed.
class AbsDataServerLink {
 public:
  AbsDataServerLink() = default;
  AbsDataServerLink(const AbsDataServerLink&) = delete;
  AbsDataServerLink& operator=(const AbsDataServerLink&) = delete;
  virtual ~AbsDataServerLink();

  int CheckOrder() const { return checkOrder_; }
  void SetCheckOrder(int order);  // re-inserts an attached component
  HttpServer* Server() const { return server_; }
  // Detaches from the link; nullptr detaches; the server it is attached to already changes nothing.
  void SetServer(HttpServer* server);
  DataServerLink* Link() const { return link_; }
  // Detaches from the server. Throws EConnection "Circular DataServerLink reference!" for a link
  // that is this component or would contain it.
  void SetLink(DataServerLink* link);

  virtual DataProvider* AsProvider() { return nullptr; }
  virtual DataServerLink* AsLink() { return nullptr; }

 private:
  friend class DataServerLink;
  friend class HttpServer;
  void Detach();

  int checkOrder_ = 0;
  HttpServer* server_ = nullptr;
  DataServerLink* link_ = nullptr;
};

class DataServerLink : public AbsDataServerLink {
 public:
  ~DataServerLink() override;  // detaches all its components
  DataServerLink* AsLink() override { return this; }
  const ComponentList& Components() const { return components_; }

  ServerHandler onListenStart, onListenStop;
  ConnectionHandler onRequestAccepted, onResponseDone, onDisconnect, onSessionOpen, onSessionClose;

 private:
  friend class AbsDataServerLink;
  ComponentList components_;
};

class DataProvider : public AbsDataServerLink {
 public:
  DataProvider* AsProvider() override { return this; }

  ServerHandler onListenStart, onListenStop;
  ConnectionHandler onSessionOpen, onSessionClose, onCheckRequest, onDataReceived, onDataOut,
      onDataIn, onDataSent, onReadyToSend, onDisconnect;
};

// The chains of events that run over providers, their links and finally the server.
namespace dispatch {
// Offers the request to every component in order until one accepts it or the response has
// already left; leaves the provider asked last as the connection's active provider.
void CheckPass(const ComponentList& list, Connection& connection);
// From a provider up through its links: the links' handler selected by `member`.
void LinkChain(DataProvider* provider, ConnectionHandler DataServerLink::*member,
               Connection& connection);
void ListenStart(const ComponentList& list, HttpServer& server);
// Opened: links before their components. Closing: components before their links.
void SessionOpen(const ComponentList& list, Connection& connection);
void SessionClose(const ComponentList& list, Connection& connection);
void ListenStop(const ComponentList& list, HttpServer& server);
}  // namespace dispatch

}  // namespace vidoria
