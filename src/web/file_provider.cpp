#include "web/file_provider.h"

#include "server/connection.h"
#include "server/text.h"

namespace vidoria {

FileProvider::FileProvider(WebContext context) : context_(std::move(context)) {
  ServerLink.SetCheckOrder(1000);
  // Attached in this order; among equal check orders the one attached last is asked first.
  const std::pair<DataProvider*, int> providers[] = {
      {&fileProvider, 900}, {&rootProvider, 10},  {&playlistsProvider, 30}, {&libraryProvider1, 30},
      {&listProvider, 30},  {&loginProvider1, 1}, {&listTXTprovider, 30},   {&listlistprovider, 30},
  };
  for (auto [provider, order] : providers) {
    provider->SetCheckOrder(order);
    provider->SetLink(&ServerLink);
  }
  fileProvider.OnCheckRequest = [this](Connection& c) { fileProviderCheckRequest(c); };
  fileProvider.OnDataReceived = [this](Connection& c) { FileProviderSendBody(c); };
  fileProvider.OnDataSent = [this](Connection& c) { FileProviderSendBody(c); };
  fileProvider.OnDisconnect = [this](Connection& c) { fileProviderDisconnect(c); };
  BindPageProviders();
}

void FileProvider::AddDefaultPage(std::string_view name) {
  const std::string_view page = TrimControl(name);
  if (!page.empty()) defaultPages_.emplace_back(page);
}

}  // namespace vidoria
