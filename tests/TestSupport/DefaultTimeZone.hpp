#pragma once

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>
#include <string>

namespace veq::testing {

// Sets the process's local time zone, as ICU sees it, for the life of the object, so that
// local dates in exported files can be checked whatever the machine's own setting.
class DefaultTimeZone {
public:
    explicit DefaultTimeZone(const std::string& identifier) : previous_(icu::TimeZone::createDefault()) {
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(identifier)));
    }
    ~DefaultTimeZone() { icu::TimeZone::adoptDefault(previous_.release()); }
    DefaultTimeZone(const DefaultTimeZone&) = delete;
    DefaultTimeZone& operator=(const DefaultTimeZone&) = delete;

private:
    std::unique_ptr<icu::TimeZone> previous_;
};

} // namespace veq::testing
