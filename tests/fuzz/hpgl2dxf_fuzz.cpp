// Feeds arbitrary bytes to the HPGL-to-DXF converter. Whatever it writes must
// read back whole: no warning and no error from the DXF reader.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/dxf/dxf_view.h"
#include "engine/dxf/plt2dxf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelindra;
  Hpgl_To_Dxf converter;
  const std::string dxf = converter.convert(std::span(data, size));
  if (dxf.empty() || !converter.cancelled) std::abort();
  DXF_Recorded_Events events;
  const DXF_Object drawing("out.dxf", std::span(reinterpret_cast<const std::uint8_t*>(dxf.data()), dxf.size()), nullptr,
                           &events);
  if (!events.messages.empty()) std::abort();
  return 0;
}
