#pragma once
// Shared by the picture operations, which all work on rows of blue-green-red
// bytes and convert from and to the picture's own format at their edges.

#include "engine/base/dib.h"

namespace pelindra::imaging::detail {

// The picture itself when it is 24-bit, otherwise its 24-bit copy in storage.
const Dib& As24(const Dib& picture, Dib& storage);

}  // namespace pelindra::imaging::detail
