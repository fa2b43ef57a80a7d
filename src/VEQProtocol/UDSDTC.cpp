#include "VEQProtocol/UDSDTC.hpp"

#include "VEQSupport/Text.hpp"

namespace veq {

std::string UDSDTC::id() const { return dtc.code + "-" + text::hexByte(failureType); }

} // namespace veq
