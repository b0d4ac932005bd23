#include "package/export/page_loop.h"

#include <stdexcept>

namespace {

bool More(const wire::VariantArray& reply) {
  const auto decoded = wire::DecodeRegistroReply(reply);
  if (!decoded) throw std::runtime_error("Resposta inválida do servidor de aplicação (GetRegistro).");
  return decoded->more;
}

}  // namespace

PageLoop::PageLoop(const wire::VariantArray& first, std::function<wire::VariantArray()> next_page)
    : first_(first), next_page_(std::move(next_page)), more_(More(first)) {}

void PageLoop::WriteAll(const std::function<void(const wire::Variant& lines)>& write_page) {
  write_page(first_[wire::kLinesItem]);
  while (more_) {
    const wire::VariantArray next = next_page_();
    write_page(next[wire::kLinesItem]);
    more_ = More(next);
  }
}
