#pragma once
// Structure checks for enhanced and Windows metafiles before a player sees
// them. A metafile player trusts the counts, offsets and object indices inside
// the records; a damaged file would make it read or write outside the record
// or its object table. These checks walk every record and refuse the file
// when any count, offset, size or object index points outside what is there.
// A file cut short is closed after its last whole record, so what was drawn up
// to there can still be shown.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelindra {

class MetafileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class MetafileKind { Unknown, Enhanced, Placeable, Windows };

// Recognises the kind by the first bytes.
MetafileKind detectMetafile(std::span<const std::uint8_t> bytes);

struct MetafileLimits {
  std::size_t maxBytes = std::size_t(256) << 20;
};

// Bytes a player may be given, and what had to be left out to get them.
struct CheckedMetafile {
  std::vector<std::uint8_t> bytes;
  // Records whose counts, offsets or object indices point outside the record
  // or the object table. They are left out (a Windows metafile record that
  // makes an object is replaced by one making an empty brush, so the object
  // table keeps its numbering).
  std::size_t droppedRecords = 0;
  // The file ended before its end record; one was added after the last whole record.
  bool truncated = false;
};

// Checks an enhanced metafile record by record. Throws MetafileError when the
// header is unusable or no record is left.
CheckedMetafile checkEnhancedMetafile(std::span<const std::uint8_t> bytes, const MetafileLimits& limits = {});

// The same for a Windows metafile starting at its 18-byte header (a placeable
// header must be taken off first).
CheckedMetafile checkWindowsMetafile(std::span<const std::uint8_t> bytes, const MetafileLimits& limits = {});

// The 22-byte header in front of placeable Windows metafiles.
struct PlaceableHeader {
  static constexpr std::uint32_t kKey = 0x9AC6CDD7;
  static constexpr std::size_t kSize = 22;
  std::int16_t left = 0, top = 0, right = 0, bottom = 0;
  std::uint16_t inch = 0;  // units of the bounding box per inch
};

// Reads the header and checks its key, a non-zero unit and a box of non-zero
// size. The checksum is not enforced: files with a wrong one are common and
// harmless. Throws MetafileError.
PlaceableHeader readPlaceableHeader(std::span<const std::uint8_t> bytes);
// The header's 22 bytes with its checksum (the XOR of its first ten words).
std::vector<std::uint8_t> writePlaceableHeader(const PlaceableHeader& header);

}  // namespace pelindra
