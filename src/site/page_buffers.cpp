#include "site/page_buffers.h"

namespace vidoria {

void PageBuffers::Set(std::string_view name, std::string text) {
  auto shared = std::make_shared<const std::string>(std::move(text));
  std::lock_guard lock(mu_);
  buffers_.insert_or_assign(std::string(name), std::move(shared));
}

PageBuffers::Text PageBuffers::Get(std::string_view name) const {
  static const Text kEmpty = std::make_shared<const std::string>();
  std::lock_guard lock(mu_);
  auto it = buffers_.find(name);
  return it == buffers_.end() ? kEmpty : it->second;
}

}  // namespace vidoria
