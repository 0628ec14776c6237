#pragma once

#include "xcoder32_export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace zp {

// The small automation variant the control's dispatch entry point takes and returns: empty, null,
// 16- and 32-bit integers, double, boolean, text, an error value (a missing optional argument is
// the error value DISP_E_PARAMNOTFOUND) and a reference to another variant.
class XCODER32_EXPORT Variant
{
public:
    struct Null
    {
        bool operator==(const Null&) const = default;
    };
    struct Error
    {
        int32_t scode;
        bool operator==(const Error&) const = default;
    };
    using Value
        = std::variant<std::monostate, Null, int16_t, int32_t, double, bool, std::string, Error, const Variant*>;

    static constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004u);

    Variant() = default;
    Variant(int16_t v)
        : value(v)
    {
    }
    Variant(int32_t v)
        : value(v)
    {
    }
    Variant(double v)
        : value(v)
    {
    }
    Variant(bool v)
        : value(v)
    {
    }
    Variant(std::string v)
        : value(std::move(v))
    {
    }
    Variant(const char* v)
        : value(std::string(v))
    {
    }
    Variant(Error v)
        : value(v)
    {
    }
    Variant(Null v)
        : value(v)
    {
    }

    static Variant Missing() { return Variant(Error {kParamNotFound}); }
    // A by-reference argument; the target must outlive the call.
    static Variant ByRef(const Variant& target)
    {
        Variant v;
        v.value = &target;
        return v;
    }

    // The variant a reference points at (itself when it is no reference).
    const Variant& Deref() const;
    bool IsMissing() const;
    bool IsError() const { return std::holds_alternative<Error>(Deref().value); }
    // The text, or null when the variant holds no text.
    const std::string* Text() const { return std::get_if<std::string>(&Deref().value); }
    // Conversion to a 16-bit integer as automation converts (numbers rounded half to even, texts
    // parsed as numbers, true is -1); empty when the value does not convert or does not fit.
    std::optional<int16_t> ToInteger() const;

    bool operator==(const Variant&) const = default;

    Value value;
};

} // namespace zp
