#include "pages/fuc.h"

#include <utility>

#include "runtime/errors.h"

namespace sheetora {
namespace {

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

Value SharedFunctions::MyRequest(const Value& RequestItem) try {
  const std::string name = RequestItem.Text();
  const std::string posted = FormItem(name).Text();
  const std::string_view text = TrimSpaces(posted);
  if (text.empty()) return Value(0);
  if (const auto number = ParseNumber(text)) return Value(*number);
  std::string message = "请检查所填写项目是否为数字!  错误代码:";
  message.append(name).append("  错误输入:").append(text);
  errmsg(Value(std::move(message)));
  return {};
} catch (const std::exception& e) {
  Trap("MyRequest", e);
  return {};
}

Value SharedFunctions::Swap(Value& PPL, Value& PPW, const Value& CC) try {
  // Both tests are made in every case, so a bad value fails either way.
  const bool smaller_first = PPL < PPW;
  const bool always = CC == Value(1);
  if (smaller_first || always) std::swap(PPL, PPW);
  return {};
} catch (const std::exception& e) {
  Trap("Swap", e);
  return {};
}

Value SharedFunctions::UpNum(const Value& CNum) try {
  if (!CNum.IsNumeric()) return Value(0);
  Value rounded(RoundToInt32(CNum.ToDouble()));
  if (CNum > rounded) return rounded + Value(1);
  return rounded;
} catch (const std::exception& e) {
  Trap("UpNum", e);
  return {};
}

void Class55::AllTORVA() try { WriteIncludedFuc(); } catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
