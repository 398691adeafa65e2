#include "upnp/device_provider.h"

#include "server/connection.h"

namespace vidoria {

namespace {

constexpr std::string_view kServerHeader = "Linux UPnP/1.0 Vidoria/1.4";
// Where the old way of reading an evented variable (QueryStateVariable) lives.
constexpr std::string_view kControlType = "urn:schemas-upnp-org:control-1-0";
constexpr std::string_view kXmlType = "text/xml; charset=\"utf-8\"";
// The body of the request read so far, kept with the request.
constexpr std::string_view kBody = "$soap";
// A new subscriber hears its first event only after its subscription's answer has left.
constexpr auto kFirstEventDelay = std::chrono::milliseconds(50);

void Answer(Connection& c, int status, const char* reason, std::string_view type = {},
            std::string_view body = {}) {
  c.Response().Status(status, reason);
  c.Response().SetValue("SERVER", kServerHeader);
  if (!type.empty()) c.Response().SetContentType(type);
  c.Response().SetContentLength(static_cast<int64_t>(body.size()));
  c.Write(body);
}

void AnswerFault(Connection& c, unsigned code, std::string_view text) {
  Answer(c, 500, "Internal Server Error", kXmlType, SoapFault(code, text));
}

}  // namespace

DeviceProvider::DeviceProvider(std::map<std::string, DeviceFile> files,
                               std::vector<DeviceService> services)
    : files_(std::move(files)), services_(std::move(services)) {
  // The port serves the device alone: every request is this provider's.
  onCheckRequest = [](Connection& c) { c.Accept(); };
  onDataReceived = [this](Connection& c) { DataReceived(c); };
}

const DeviceService* DeviceProvider::ServiceAt(const std::string& path,
                                               std::string_view kind) const {
  for (const DeviceService& service : services_) {
    if (path == "/" + service.id + "/" + std::string(kind)) return &service;
  }
  return nullptr;
}

void DeviceProvider::DataReceived(Connection& c) {
  ServerRequest& request = c.Request();
  if (request.ContentLength() > kMaxSoapBody) {
    Answer(c, 413, "Request Entity Too Large");
    c.Disconnect();
    return;
  }
  Info& info = request.GetInfo();
  std::string body = info.TextField(kBody) + c.Read();
  if (static_cast<int64_t>(body.size()) > kMaxSoapBody) {
    Answer(c, 413, "Request Entity Too Large");
    c.Disconnect();
    return;
  }
  if (!request.complete) {
    info.SetTextField(kBody, body);
    return;
  }
  info.Remove(kBody);
  const std::string& method = request.Method();
  const std::string& path = request.FileName();
  if (method == "GET" || method == "HEAD") {
    const auto file = files_.find(path);
    if (file == files_.end()) {
      Answer(c, 404, "Not Found");
    } else {
      Answer(c, 200, "OK", file->second.contentType, file->second.bytes);
    }
    return;
  }
  if (const DeviceService* service = ServiceAt(path, "control")) {
    if (method == "POST") {
      Control(c, *service, body);
    } else {
      Answer(c, 405, "Method Not Allowed");
    }
    return;
  }
  if (const DeviceService* service = ServiceAt(path, "event")) {
    if (method == "SUBSCRIBE") {
      Subscribe(c, *service);
    } else if (method == "UNSUBSCRIBE") {
      Unsubscribe(c, *service);
    } else {
      Answer(c, 405, "Method Not Allowed");
    }
    return;
  }
  Answer(c, 404, "Not Found");
}

void DeviceProvider::Control(Connection& c, const DeviceService& service, const std::string& body) {
  const std::optional<SoapCall> call = ReadSoapCall(body);
  if (!call) {
    AnswerFault(c, 401, "Invalid Action");
    return;
  }
  // The header, when sent, must name this service (or the generic control namespace for a
  // variable's query) and the body's action.
  const bool query = call->action == "QueryStateVariable";
  const std::string header = c.Request().Value("SOAPACTION");
  if (!header.empty()) {
    const auto named = ReadSoapActionHeader(header);
    if (!named || named->first != (query ? kControlType : service.type) ||
        named->second != call->action) {
      AnswerFault(c, 401, "Invalid Action");
      return;
    }
  }
  if (query) {
    const std::string* name = call->Argument("varName");
    for (const auto& [variable, value] : service.evented()) {
      if (name && *name == variable) {
        Answer(c, 200, "OK", kXmlType, SoapAnswer(kControlType, call->action, {{"return", value}}));
        return;
      }
    }
    AnswerFault(c, 404, "Invalid Var");
    return;
  }
  const ActionAnswer answer = service.act(*call, c.LocalAddr());
  if (answer.error != 0) {
    AnswerFault(c, answer.error, answer.errorText);
    return;
  }
  Answer(c, 200, "OK", kXmlType, SoapAnswer(service.type, call->action, answer.out));
}

void DeviceProvider::Subscribe(Connection& c, const DeviceService& service) {
  const ServerRequest& request = c.Request();
  const std::string sid = request.Value("SID");
  const std::string callbackHeader = request.Value("CALLBACK");
  const std::string nt = request.Value("NT");
  const std::optional<int64_t> seconds = ReadTimeoutHeader(request.Value("TIMEOUT"));
  const auto now = Subscriptions::Clock::now();
  const auto granted = [&c](const Subscriptions::Granted& g) {
    c.Response().SetValue("SID", g.sid);
    c.Response().SetValue("TIMEOUT", "Second-" + std::to_string(g.seconds));
    Answer(c, 200, "OK");
  };
  if (!sid.empty()) {
    if (!callbackHeader.empty() || !nt.empty()) {
      Answer(c, 400, "Bad Request");
    } else if (const auto renewed = subscriptions_.Renew(service.id, sid, seconds, now)) {
      granted(*renewed);
    } else {
      Answer(c, 412, "Precondition Failed");
    }
    return;
  }
  const std::optional<std::string> callback = ReadCallbackHeader(callbackHeader);
  const std::optional<CallbackAddress> address =
      callback ? ReadCallbackAddress(*callback) : std::nullopt;
  if (nt != "upnp:event" || !address || address->host != c.PeerAddr()) {
    Answer(c, 412, "Precondition Failed");
    return;
  }
  const auto added = subscriptions_.Add(service.id, *callback, seconds, now);
  if (!added) {
    Answer(c, 503, "Service Unavailable");
    return;
  }
  granted(*added);
  sender_.Send(EventSender::Event{*callback, added->sid, 0, PropertySet(service.evented()),
                                  EventSender::Clock::now() + kFirstEventDelay});
}

void DeviceProvider::Unsubscribe(Connection& c, const DeviceService& service) {
  const ServerRequest& request = c.Request();
  const std::string sid = request.Value("SID");
  if (!request.Value("CALLBACK").empty() || !request.Value("NT").empty()) {
    Answer(c, 400, "Bad Request");
  } else if (sid.empty() || !subscriptions_.Remove(service.id, sid)) {
    Answer(c, 412, "Precondition Failed");
  } else {
    Answer(c, 200, "OK");
  }
}

void DeviceProvider::Notify(const std::string& id, const Variables& variables) {
  const auto now = Subscriptions::Clock::now();
  const std::vector<Subscriptions::Notice> notices = subscriptions_.Take(id, now);
  if (notices.empty()) return;
  const std::string body = PropertySet(variables);
  for (const Subscriptions::Notice& notice : notices) {
    sender_.Send(EventSender::Event{notice.callback, notice.sid, notice.seq, body, now});
  }
}

size_t DeviceProvider::Subscribers() {
  return subscriptions_.Count(Subscriptions::Clock::now());
}

}  // namespace vidoria
