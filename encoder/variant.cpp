#include "encoder/variant.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace zp {

namespace {

std::optional<int16_t> fromDouble(double d)
{
    if (std::isnan(d))
        return std::nullopt;
    double rounded = std::nearbyint(d); // round half to even in the default rounding mode
    if (rounded < std::numeric_limits<int16_t>::min() || rounded > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

std::optional<int16_t> fromText(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    const char* start = text.c_str() + first;
    char* end = nullptr;
    double d = std::strtod(start, &end);
    if (end == start)
        return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0' || std::isinf(d))
        return std::nullopt;
    return fromDouble(d);
}

} // namespace

const Variant& Variant::Deref() const
{
    const Variant* v = this;
    while (auto target = std::get_if<const Variant*>(&v->value))
        v = *target;
    return *v;
}

bool Variant::IsMissing() const
{
    auto error = std::get_if<Error>(&Deref().value);
    return error && error->scode == kParamNotFound;
}

std::optional<int16_t> Variant::ToInteger() const
{
    const Value& v = Deref().value;
    if (std::holds_alternative<std::monostate>(v))
        return int16_t {0};
    if (auto i = std::get_if<int16_t>(&v))
        return *i;
    if (auto l = std::get_if<int32_t>(&v))
        return fromDouble(*l);
    if (auto d = std::get_if<double>(&v))
        return fromDouble(*d);
    if (auto b = std::get_if<bool>(&v))
        return static_cast<int16_t>(*b ? -1 : 0);
    if (auto s = std::get_if<std::string>(&v))
        return fromText(*s);
    return std::nullopt;
}

} // namespace zp
