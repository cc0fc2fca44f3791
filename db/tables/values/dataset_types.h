// Types shared with the dataset layer: its field-type enumeration and its
// variant, the loosely typed value through which datasets hand field values
// to the application. The engine's own value type (TABSVariant) converts to
// and from TDataVariant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvorin {

// The dataset layer's field types. The numbers are fixed: messages print them.
enum TFieldType : uint8_t {
  ftFixedChar = 0,
  ftString = 1,
  ftWideString = 2,
  ftSmallint = 3,
  ftInteger = 4,
  ftLargeint = 5,
  ftWord = 6,
  ftAutoInc = 7,
  ftFloat = 8,
  ftBoolean = 9,
  ftCurrency = 10,
  ftDate = 11,
  ftTime = 12,
  ftDateTime = 13,
  ftTimeStamp = 14,
  ftBytes = 15,
  ftVarBytes = 16,
  ftBlob = 17,
  ftParadoxOle = 18,
  ftTypedBinary = 19,
  ftDBaseOle = 20,
  ftGraphic = 21,
  ftMemo = 22,
  ftFmtMemo = 23,
  ftGuid = 24,
  // No dataset type (a column type without a dataset counterpart).
  ftUnknown = 25,
};

// Kinds of TDataVariant, numbered as the platform's variant type codes.
enum TVarType : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varSmallint = 0x0002,
  varInteger = 0x0003,
  varSingle = 0x0004,
  varDouble = 0x0005,
  varCurrency = 0x0006,
  varDate = 0x0007,
  varOleStr = 0x0008,
  varDispatch = 0x0009,
  varError = 0x000A,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varUnknown = 0x000D,
  varShortInt = 0x0010,
  varByte = 0x0011,
  varWord = 0x0012,
  varLongWord = 0x0013,
  varInt64 = 0x0014,
  varUInt64 = 0x0015,
  varString = 0x0100,
  varUString = 0x0102,
  varArray = 0x2000,
};

// Name of a variant kind as printed in messages ("Smallint", "OleStr", ...).
std::string_view VarTypeName(TVarType type);

// One dataset value. Integers and booleans are kept in a 64-bit integer,
// single, double, currency and date in a double (a date as the calendar
// date-time value: days since 1899-12-30 plus the fraction of the day),
// 8-bit strings (varString, in the system code page; varUString) as bytes and
// wide strings (varOleStr) as UTF-16.
class TDataVariant {
 public:
  TDataVariant() = default;  // varEmpty

  static TDataVariant Null() { return TDataVariant(varNull); }
  static TDataVariant OfType(TVarType type) { return TDataVariant(type); }
  static TDataVariant Smallint(int16_t v) { return Int(varSmallint, v); }
  static TDataVariant Integer(int32_t v) { return Int(varInteger, v); }
  static TDataVariant ShortInt(int8_t v) { return Int(varShortInt, v); }
  static TDataVariant Byte(uint8_t v) { return Int(varByte, v); }
  static TDataVariant Word(uint16_t v) { return Int(varWord, v); }
  static TDataVariant LongWord(uint32_t v) { return Int(varLongWord, v); }
  static TDataVariant Int64(int64_t v) { return Int(varInt64, v); }
  static TDataVariant Boolean(bool v) { return Int(varBoolean, v ? 1 : 0); }
  static TDataVariant Single(float v) { return Real(varSingle, v); }
  static TDataVariant Double(double v) { return Real(varDouble, v); }
  static TDataVariant Currency(double v) { return Real(varCurrency, v); }
  static TDataVariant Date(double v) { return Real(varDate, v); }
  static TDataVariant String(std::string_view v) {
    TDataVariant r(varString);
    r.text_.assign(v);
    return r;
  }
  static TDataVariant WideString(std::u16string_view v) {
    TDataVariant r(varOleStr);
    r.wide_.assign(v);
    return r;
  }

  TVarType type() const { return type_; }
  bool IsNull() const { return type_ == varNull || type_ == varEmpty; }
  int64_t AsInt() const { return int_; }
  double AsReal() const { return real_; }
  const std::string& AsText() const { return text_; }
  const std::u16string& AsWide() const { return wide_; }

 private:
  explicit TDataVariant(TVarType type) : type_(type) {}
  static TDataVariant Int(TVarType type, int64_t v) {
    TDataVariant r(type);
    r.int_ = v;
    return r;
  }
  static TDataVariant Real(TVarType type, double v) {
    TDataVariant r(type);
    r.real_ = v;
    return r;
  }

  TVarType type_ = varEmpty;
  int64_t int_ = 0;
  double real_ = 0;
  std::string text_;
  std::u16string wide_;
};

}  // namespace kelvorin
