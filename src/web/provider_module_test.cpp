#include "web/provider_module.h"

#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

namespace vidoria {
namespace {

// The server offers a request to the providers in this order and the first to claim it answers,
// so overlapping routes ("/list.txt&x" also passes the files provider's check) depend on it.
TEST(ProviderModuleTest, TheLinkAsksTheProvidersInDispatchOrder) {
  ProviderModule module(WebContext{});
  std::vector<std::string> order;
  for (AbsDataServerLink* component : module.Link().Components().Items()) {
    const AbsDataServerLink& c = *component;
    if (typeid(c) == typeid(LoginProvider)) order.push_back("login");
    if (typeid(c) == typeid(RootPageProvider)) order.push_back("root page");
    if (typeid(c) == typeid(ListOfListsProvider)) order.push_back("list of lists");
    if (typeid(c) == typeid(ListFileProvider)) order.push_back("list file");
    if (typeid(c) == typeid(ListPageProvider)) order.push_back("list page");
    if (typeid(c) == typeid(LibraryPageProvider)) order.push_back("library page");
    if (typeid(c) == typeid(PlaylistsPageProvider)) order.push_back("playlists page");
    if (typeid(c) == typeid(FilesProvider)) order.push_back("files");
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"login", "root page", "list of lists", "list file",
                                      "list page", "library page", "playlists page", "files"}));
  EXPECT_EQ(module.Link().CheckOrder(), 1000);
  EXPECT_EQ(module.Files().CheckOrder(), 900);
}

}  // namespace
}  // namespace vidoria
