// What the configuration pages need to know of the connected recorder.
#pragma once
#include <QString>
#include <cstdint>
#include <string>

#include "session/Sections.h"

namespace pagemodel {

// The connected model and firmware in the form the section layouts take.
sect::Device ConnectedDevice();
// The connected model's product id (empty without a record).
std::string ProductId();
// An address as one number, its first byte highest.
std::uint32_t PackedIp4(const sect::Ip4& a);
// Video channels of a DVR-family model: K41R 16, K42R 8, K43R 4; 0 for any other model.
int DvrChannelCount(const std::string& productId);
int DvrChannelCount();
// The display's scale factor for window sizes (1 when not known).
double Scale();
// The digits of a text, in order.
QString DigitsOf(const QString& text);

}  // namespace pagemodel
