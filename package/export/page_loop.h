#pragma once
// The pages of one exported file after its first: fetched one after the
// other until the server says there are no more, each handed on in the
// order received. Knows the reply of GetRegistro, not the form that asked.
#include <functional>

#include "lib/wire/registro_call.h"

class PageLoop {
 public:
  // `first` is the first page's reply, already read as a GetRegistro reply;
  // `next_page` asks for the next one.
  PageLoop(const wire::VariantArray& first, std::function<wire::VariantArray()> next_page);
  // Hands the first page's lines and then each next page's to `write_page`.
  void WriteAll(const std::function<void(const wire::Variant& lines)>& write_page);
  // Whether the server still keeps pages of the file: an export that stops
  // now should tell it to drop them.
  bool PagesLeft() const { return more_; }

 private:
  const wire::VariantArray& first_;
  std::function<wire::VariantArray()> next_page_;
  bool more_;
};
