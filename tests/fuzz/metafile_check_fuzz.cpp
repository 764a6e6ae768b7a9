// Feeds arbitrary bytes to the metafile structure checks. What they hand on
// must pass them again unchanged: nothing left to drop, repair or close.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/base/metafile_check.h"

namespace {

template <class Check>
void run(Check check, std::span<const std::uint8_t> bytes) {
  pelindra::CheckedMetafile first;
  try {
    first = check(bytes);
  } catch (const pelindra::MetafileError&) {
    return;
  }
  const pelindra::CheckedMetafile again = check(first.bytes);
  if (again.bytes != first.bytes || again.droppedRecords != 0 || again.truncated) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  switch (pelindra::detectMetafile(bytes)) {
    case pelindra::MetafileKind::Enhanced: run([](auto b) { return pelindra::checkEnhancedMetafile(b); }, bytes); break;
    case pelindra::MetafileKind::Placeable: try { pelindra::readPlaceableHeader(bytes);
      } catch (const pelindra::MetafileError&) {
      }
      run([](auto b) { return pelindra::checkWindowsMetafile(b); }, bytes.subspan(pelindra::PlaceableHeader::kSize));
      break;
    default: run([](auto b) { return pelindra::checkWindowsMetafile(b); }, bytes); break;
  }
  return 0;
}
