// Placeholder bodies of the layout functions, replaced by the searches and the drawing.
#include "calc/fuc.h"

namespace sheetora {

Value SharedFunctions::PinBan(const Value&, const Value&, const Value&, const Value&, Value& KNum,
                              Value&, Value&, Value&, Value&, Value&, Value&, Value&, Value&,
                              Value&, Value&, Value&, Value&, Value&, Value&, Value&, Value&,
                              Value&, Value&, Value&) {
  KNum = Value(0);
  return {};
}

Value SharedFunctions::PinBanTwo(const Value&, const Value&, const Value&, const Value&,
                                 Value& KNum, Value&, Value&, Value&, Value&, Value&, Value&,
                                 Value&, Value&, Value&, Value&) {
  KNum = Value(0);
  return {};
}

Value SharedFunctions::DrawTab(const Value&, const Value&, const Value&, const Value&) {
  return {};
}

}  // namespace sheetora
