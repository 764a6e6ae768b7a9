#include "engine/base/metafile_check.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace pelindra {

namespace {

// Little-endian reads inside one record; callers check the record holds them.
std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::int32_t i32(const std::uint8_t* p) { return std::int32_t(u32(p)); }
void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}

[[noreturn]] void fail(const std::string& what) { throw MetafileError(what); }

// One record as a bounded byte range.
struct Record {
  const std::uint8_t* p;
  std::size_t size;
  std::size_t index;  // position in the file, for messages
  const char* kind;

  [[noreturn]] void bad(const char* what) const {
    fail(std::string(kind) + " record " + std::to_string(index) + ": " + what);
  }
  void need(std::uint64_t bytes, const char* what = "too short") const {
    if (bytes > size) bad(what);
  }
  std::uint32_t u32at(std::size_t off) const {
    need(std::uint64_t(off) + 4);
    return u32(p + off);
  }
  std::uint16_t u16at(std::size_t off) const {
    need(std::uint64_t(off) + 2);
    return u16(p + off);
  }
  // A block of `length` bytes at `offset` lies inside the record.
  void inside(std::uint64_t offset, std::uint64_t length, const char* what) const {
    if (offset > size || length > size - offset) bad(what);
  }
};

// A device-independent bitmap: header, colour table and pixel bytes must all
// be there. usage 1 means a colour table of 16-bit palette indices.
void checkDib(const Record& r, std::uint64_t offBmi, std::uint64_t cbBmi, std::uint64_t offBits, std::uint64_t cbBits,
              std::uint32_t usage, std::uint64_t scans = 0) {
  r.inside(offBmi, cbBmi, "bitmap header outside the record");
  r.inside(offBits, cbBits, "bitmap bits outside the record");
  if (cbBmi < 12) r.bad("bitmap header too short");
  const std::uint8_t* h = r.p + offBmi;
  const std::uint32_t headerSize = u32(h);
  if (headerSize < 12 || headerSize > cbBmi) r.bad("bad bitmap header size");
  std::int64_t width, height;
  unsigned bits, compression = 0, used = 0;
  if (headerSize == 12) {
    width = u16(h + 4), height = u16(h + 6), bits = u16(h + 10);
  } else {
    if (headerSize < 40) r.bad("bad bitmap header size");
    width = i32(h + 4), height = i32(h + 8), bits = u16(h + 14), compression = u32(h + 16), used = u32(h + 32);
  }
  if (width <= 0 || height == 0 || width > 0x7FFFFF || height < -0x7FFFFF || height > 0x7FFFFF)
    r.bad("bad bitmap size");
  if (compression == 4 || compression == 5) {  // JPEG or PNG data: the player decodes (or refuses) it
    if (headerSize < 40 || cbBits == 0) r.bad("bad bitmap");
    return;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) r.bad("bad bitmap depth");
  std::uint64_t colors = used ? used : (bits <= 8 ? 1u << bits : 0);
  if (bits <= 8 && colors > (1u << bits)) colors = 1u << bits;  // players read no more than the depth can index
  std::uint64_t table = colors * (usage == 1 ? 2 : headerSize == 12 ? 3 : 4);
  if (compression == 3 && headerSize == 40) table += 12;  // the three masks
  if (headerSize + table > cbBmi) r.bad("bitmap colour table outside the record");
  const std::uint64_t stride = (std::uint64_t(width) * bits + 31) / 32 * 4;
  std::uint64_t rows = std::uint64_t(height < 0 ? -height : height);
  if (scans) rows = std::min(rows, scans);
  switch (compression) {
    case 0:  // RGB
    case 3:  // bit fields
      if (compression == 3 && bits != 16 && bits != 32) r.bad("bad bitmap compression");
      if (stride * rows > cbBits) r.bad("bitmap bits cut short");
      break;
    case 1:  // RLE8
    case 2:  // RLE4
      if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) || height < 0)
        r.bad("bad bitmap compression");
      break;
    default: r.bad("unsupported bitmap compression");
  }
}

// RGNDATA: a 32-byte header and its rectangles.
void checkRegion(const Record& r, std::uint64_t offset, std::uint64_t length) {
  r.inside(offset, length, "region outside the record");
  if (length < 32) r.bad("region too short");
  const std::uint8_t* h = r.p + offset;
  if (u32(h) != 32 || u32(h + 4) != 1) r.bad("bad region header");
  if (32 + std::uint64_t(u32(h + 8)) * 16 > length) r.bad("region rectangles outside the record");
}

// ------------------------------------------------------------ enhanced metafiles

constexpr std::size_t kEmfHeaderMin = 88;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kEmrHeader = 1, kEmrEof = 14;

// Smallest size of each record type that has fixed fields (0: no check).
struct EmfMinimumSizes {
  std::uint32_t size[123]{};
  constexpr EmfMinimumSizes() {
    const auto set = [this](std::uint32_t bytes, std::initializer_list<int> types) {
      for (int t : types) size[t] = bytes;
    };
    set(12, {16, 17, 18, 19, 20, 21, 22, 24, 25, 34, 37, 40, 48, 57, 58, 67, 70, 98, 100, 101, 115});
    set(16, {9, 10, 11, 12, 13, 26, 27, 49, 51, 54, 75, 105, 106, 120});
    set(20, {14, 15, 50, 110, 112, 113});
    set(24, {29, 30, 31, 32, 39, 42, 43, 53, 62, 63, 64, 121, 122});
    set(28, {2, 3, 4, 5, 6, 38, 41, 56, 73, 74, 85, 86, 87, 88, 89, 92});
    set(32, {7, 8, 23, 35, 44, 71, 90, 91, 93, 94});
    set(36, {36, 108, 118});
    set(40, {45, 46, 47, 55, 72, 96, 97});
    set(48, {104});
    set(52, {95});
    set(76, {80, 83, 84});
    set(80, {81});
    set(100, {76});
    set(104, {82});
    set(108, {77, 114, 116});
    set(128, {78});
    set(140, {79});
    set(340, {99});
  }
};
constexpr EmfMinimumSizes kEmfMinimum;

std::uint32_t emfMinimum(std::uint32_t type) { return type < 123 ? kEmfMinimum.size[type] : 0; }

// Offset of the object-table index in records that create, select or delete objects.
int emfObjectIndexOffset(std::uint32_t type) {
  static constexpr int kAt8[] = {37, 38, 39, 40, 48, 49, 50, 51, 82, 93, 94, 95, 99, 100, 101, 122};
  if (std::find(std::begin(kAt8), std::end(kAt8), int(type)) != std::end(kAt8)) return 8;
  return type == 71 || type == 72 ? 28 : -1;  // region fills name their brush
}

void checkEmfText(const Record& r, std::size_t at, bool wide) {
  // EMRTEXT: reference point, nChars, offString, options, rectangle, offDx.
  r.need(std::uint64_t(at) + 40);
  const std::uint64_t chars = r.u32at(at + 8), offString = r.u32at(at + 12), options = r.u32at(at + 16);
  const std::uint64_t offDx = r.u32at(at + 36);
  r.inside(offString, chars * (wide ? 2 : 1), "text outside the record");
  if (offDx) r.inside(offDx, chars * ((options & 0x2000) ? 8 : 4), "character spacing outside the record");
}

// Drawing coordinates beyond 27 bits are refused by the platform's own
// drawing functions; players without that limit overflow on them.
constexpr std::int64_t kCoordinateLimit = std::int64_t(1) << 27;

// Players turn curves into points along their whole outline, so a curve in a
// box of a million units overflows them long before the 27-bit limit.
constexpr std::int64_t kCurveLimit = std::int64_t(1) << 19;

void coordinates(const Record& r, std::size_t offset, std::uint64_t count, std::int64_t limit = kCoordinateLimit) {
  r.need(offset + count * 4);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::int64_t v = i32(r.p + offset + 4 * i);
    if (v < -limit || v > limit) r.bad("coordinate out of range");
  }
}

// A transform of six floats: finite, and no scale a picture could sensibly need.
void transform(const Record& r, std::size_t offset) {
  r.need(offset + 24);
  for (int i = 0; i < 6; ++i) {
    float v;
    std::memcpy(&v, r.p + offset + 4 * i, 4);
    if (!(v >= -1e6f && v <= 1e6f)) r.bad("transform out of range");
  }
}

void checkEmfCoordinates(const Record& r, std::uint32_t type) {
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 56: coordinates(r, 28, std::uint64_t(r.u32at(24)) * 2); break;
    case 7:
    case 8: coordinates(r, 32 + std::size_t(r.u32at(24)) * 4, std::uint64_t(r.u32at(28)) * 2); break;
    case 15:
    case 27:
    case 53:
    case 54: coordinates(r, 8, 2); break;
    case 29:
    case 30:
    case 43: coordinates(r, 8, 4); break;
    case 42: coordinates(r, 8, 4, kCurveLimit); break;
    case 44: coordinates(r, 8, 6, kCurveLimit); break;
    case 45:
    case 46:
    case 47:
    case 55: coordinates(r, 8, 8, kCurveLimit); break;
    case 41: coordinates(r, 8, 3, kCurveLimit); break;
    case 35: transform(r, 8); break;
    case 36: transform(r, 8); break;
    case 31:
    case 32:  // scale numerators and denominators; players divide by the latter
      if (r.u32at(12) == 0 || r.u32at(20) == 0) r.bad("zero scale divisor");
      break;
    case 76:
    case 77:
    case 78:
    case 114:
    case 116: coordinates(r, 24, 4); break;
    case 80: coordinates(r, 24, 6); break;
    case 81: coordinates(r, 24, 2), coordinates(r, 72, 2); break;
    default: break;
  }
}

void checkEmfRecord(const Record& r, std::uint32_t type, std::uint32_t handles) {
  if (const std::uint32_t min = emfMinimum(type)) r.need(min);
  if (const int at = emfObjectIndexOffset(type); at >= 0) {
    const std::uint32_t index = r.u32at(std::size_t(at));
    // Only selecting may name a stock object; deleting one would write outside the table.
    const bool stock = (index & 0x80000000u) != 0 && (type == 37 || type == 48);
    if (!stock && index >= handles) r.bad("object index outside the object table");
  }
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: r.need(28 + std::uint64_t(r.u32at(24)) * 8, "points outside the record"); break;
    case 85:
    case 86:
    case 87:
    case 88:
    case 89: r.need(28 + std::uint64_t(r.u32at(24)) * 4, "points outside the record"); break;
    case 56:
    case 92: {
      const std::uint64_t n = r.u32at(24);
      r.need(28 + n * (type == 56 ? 8 : 4) + n, "points outside the record");
      break;
    }
    case 7:
    case 8:
    case 90:
    case 91: {
      const std::uint64_t polys = r.u32at(24), points = r.u32at(28);
      r.need(32 + polys * 4 + points * (type <= 8 ? 8 : 4), "points outside the record");
      std::uint64_t sum = 0;
      for (std::uint64_t i = 0; i < polys; ++i) sum += u32(r.p + 32 + 4 * i);
      if (sum > points) r.bad("polygon counts exceed the points");
      break;
    }
    default: break;
  }
  checkEmfCoordinates(r, type);
  switch (type) {
    case 49: r.need(16 + std::uint64_t(r.u16at(14)) * 4, "palette outside the record"); break;
    case 50: r.need(20 + std::uint64_t(r.u32at(16)) * 4, "palette entries outside the record"); break;
    case 70: r.need(12 + std::uint64_t(r.u32at(8)), "comment outside the record"); break;
    case 71:
    case 72: checkRegion(r, type == 71 ? 32 : 40, r.u32at(24)); break;
    case 73:
    case 74: checkRegion(r, 28, r.u32at(24)); break;
    case 75:
      if (const std::uint32_t cb = r.u32at(8)) checkRegion(r, 16, cb);
      break;
    case 76:
    case 77:
    case 114:
    case 116:
      if (r.u32at(88)) checkDib(r, r.u32at(84), r.u32at(88), r.u32at(92), r.u32at(96), r.u32at(80));
      break;
    case 78:
      if (r.u32at(88)) checkDib(r, r.u32at(84), r.u32at(88), r.u32at(92), r.u32at(96), r.u32at(80));
      if (r.u32at(116)) checkDib(r, r.u32at(112), r.u32at(116), r.u32at(120), r.u32at(124), r.u32at(108));
      break;
    case 79:
      if (r.u32at(100)) checkDib(r, r.u32at(96), r.u32at(100), r.u32at(104), r.u32at(108), r.u32at(92));
      if (r.u32at(128)) checkDib(r, r.u32at(124), r.u32at(128), r.u32at(132), r.u32at(136), r.u32at(120));
      break;
    case 80:
      if (r.u32at(52)) checkDib(r, r.u32at(48), r.u32at(52), r.u32at(56), r.u32at(60), r.u32at(64), r.u32at(72));
      break;
    case 81:
      if (r.u32at(52)) checkDib(r, r.u32at(48), r.u32at(52), r.u32at(56), r.u32at(60), r.u32at(64));
      break;
    case 93:
    case 94: checkDib(r, r.u32at(16), r.u32at(20), r.u32at(24), r.u32at(28), r.u32at(12)); break;
    case 95:
      r.need(52 + std::uint64_t(r.u32at(48)) * 4, "pen style outside the record");
      if (r.u32at(16)) checkDib(r, r.u32at(12), r.u32at(16), r.u32at(20), r.u32at(24), 0);
      break;
    case 83:
    case 84: checkEmfText(r, 36, type == 84); break;
    case 96:
    case 97: {
      const std::uint64_t strings = r.u32at(36);
      r.need(40 + strings * 40, "texts outside the record");
      for (std::uint64_t i = 0; i < strings; ++i) checkEmfText(r, std::size_t(40 + i * 40), type == 97);
      break;
    }
    case 105:
    case 106: r.need(16 + std::uint64_t(r.u32at(12)), "escape data outside the record"); break;
    case 110: r.need(20 + std::uint64_t(r.u32at(12)) + r.u32at(16), "escape data outside the record"); break;
    case 112:
    case 113: r.need(20 + std::uint64_t(r.u32at(12)) + r.u32at(16), "profile outside the record"); break;
    case 108: {
      const std::uint64_t chars = r.u32at(16), options = r.u32at(20);
      const std::uint64_t text = 36 + ((options & 0x100) ? 0 : 16);
      r.need(text + chars * ((options & 0x200) ? 1 : 2), "text outside the record");
      break;
    }
    case 118: {
      const std::uint64_t vertices = r.u32at(24), meshes = r.u32at(28), mode = r.u32at(32);
      const std::uint64_t meshSize = mode == 2 ? 12 : 8;
      r.need(36 + vertices * 16 + meshes * meshSize, "gradient outside the record");
      const std::uint8_t* mesh = r.p + 36 + vertices * 16;
      for (std::uint64_t i = 0; i < meshes * meshSize / 4; ++i)
        if (u32(mesh + 4 * i) >= vertices) r.bad("gradient vertex index out of range");
      break;
    }
    case 121: r.need(24 + std::uint64_t(r.u32at(16)) + r.u32at(20), "colour profile outside the record"); break;
    case 122: r.need(24 + 588 + 12, "colour space too short"); break;
    default: break;
  }
}

// ------------------------------------------------------------ Windows metafiles

constexpr std::size_t kWmfHeaderSize = 18;

// Smallest parameter count (in words) of the records with fixed parameters.
unsigned wmfMinimumParams(std::uint16_t function) {
  struct Rule {
    unsigned params;
    std::initializer_list<std::uint16_t> functions;
  };
  static const Rule rules[] = {
      {1,
       {0x0102, 0x0103, 0x0104, 0x0105, 0x0106, 0x0107, 0x0108, 0x0127, 0x012A, 0x012B, 0x012C, 0x012D, 0x012E, 0x0234,
        0x0139, 0x0149, 0x01F0}},
      {2,
       {0x0201, 0x0209, 0x020A, 0x020B, 0x020C, 0x020D, 0x020E, 0x020F, 0x0211, 0x0213, 0x0214, 0x0220, 0x0231,
        0x0228}},
      {4, {0x0410, 0x0412, 0x0415, 0x0416, 0x0418, 0x0419, 0x041B, 0x041F, 0x0429, 0x02FC}},
      {5, {0x0548, 0x02FA}},
      {6, {0x061C, 0x061D}},
      {8, {0x0817, 0x081A, 0x0830}},
      {9, {0x02FB}},
  };
  for (const auto& rule : rules)
    if (std::find(rule.functions.begin(), rule.functions.end(), function) != rule.functions.end()) return rule.params;
  return 0;
}

// Checks a DIB that starts `words` parameter words into a Windows record.
void checkWmfDib(const Record& r, std::size_t words, std::uint32_t usage) {
  const std::size_t at = 6 + 2 * words;
  r.need(std::uint64_t(at) + 12, "bitmap missing");
  const std::uint64_t rest = r.size - at;
  // The header says how long it is; the bits follow it and the colour table.
  checkDib(r, at, rest, at, rest, usage);
  const std::uint8_t* h = r.p + at;
  const std::uint32_t headerSize = u32(h);
  const unsigned bits = headerSize == 12 ? u16(h + 10) : u16(h + 14);
  const std::uint32_t used = headerSize == 12 ? 0 : u32(h + 32);
  const std::uint32_t compression = headerSize == 12 ? 0 : u32(h + 16);
  std::uint64_t colors = used ? used : (bits <= 8 ? 1u << bits : 0);
  if (bits <= 8 && colors > (1u << bits)) colors = 1u << bits;
  std::uint64_t table = colors * (usage == 1 ? 2 : headerSize == 12 ? 3 : 4);
  if (compression == 3 && headerSize == 40) table += 12;
  const std::uint64_t offBits = std::uint64_t(at) + headerSize + table;
  checkDib(r, at, headerSize + table, offBits, r.size - std::min<std::uint64_t>(offBits, r.size), usage);
}

// A 16-bit device-dependent bitmap (old BitBlt records and pattern brushes).
void checkWmfBitmap16(const Record& r, std::size_t words) {
  const std::size_t at = 6 + 2 * words;
  r.need(std::uint64_t(at) + 10, "bitmap missing");
  const std::uint64_t width = u16(r.p + at + 2), height = u16(r.p + at + 4), widthBytes = u16(r.p + at + 6);
  const std::uint64_t planes = std::max<std::uint64_t>(r.p[at + 8], 1), bits = std::max<std::uint64_t>(r.p[at + 9], 1);
  // Players may take the row length from the header or work it out from the width.
  const std::uint64_t row = std::max(widthBytes, (width * bits + 15) / 16 * 2);
  if (std::uint64_t(at) + 10 + row * height * planes > r.size) r.bad("bitmap bits cut short");
}

// The parameter word where the bitmap of a record starts, or -1 when the
// record has none.
int wmfDibParam(std::uint16_t function, std::uint64_t params) {
  switch (function) {
    case 0x0940: return params > 9 ? 8 : -1;
    case 0x0B41: return params > 11 ? 10 : -1;
    case 0x0F43: return 11;
    case 0x0D33: return 9;
    case 0x0142: return 2;
    default: return -1;
  }
}

// Writes out the colour count that a zero stands for in indexed bitmaps. Some
// players do not apply that default in every record kind and read a table of
// the wrong length.
void spellOutColorCount(std::uint8_t* record, std::size_t size, std::uint16_t function) {
  const int param = wmfDibParam(function, (size - 6) / 2);
  if (param < 0) return;
  std::uint8_t* h = record + 6 + 2 * param;
  if (u32(h) < 40) return;
  const unsigned bits = u16(h + 14);
  if (bits <= 8 && u32(h + 32) == 0 && u32(h + 16) != 4 && u32(h + 16) != 5) put32(h + 32, 1u << bits);
}

bool makesObject(std::uint16_t function) {
  switch (function) {
    case 0x00F7:
    case 0x01F9:
    case 0x02FA:
    case 0x02FB:
    case 0x02FC:
    case 0x0142:
    case 0x06FF: return true;
    default: return false;
  }
}

void checkWmfRecord(const Record& r, std::uint16_t function, std::uint32_t objects) {
  const std::uint64_t params = (r.size - 6) / 2;
  const auto param = [&](std::uint64_t i) -> std::uint64_t {
    if (i >= params) r.bad("too short");
    return u16(r.p + 6 + 2 * i);
  };
  if (params < wmfMinimumParams(function)) r.bad("too short");
  switch (function) {
    case 0x012D:
    case 0x01F0:
    case 0x0234:
    case 0x012A:
    case 0x012B:
      // Select, delete and region records name an object of the table.
      if (param(0) >= objects) r.bad("object index outside the object table");
      break;
    case 0x012C:  // index 0 clears the clip region
      if (param(0) != 0 && param(0) >= objects) r.bad("object index outside the object table");
      break;
    case 0x0037:
    case 0x0436:
      if (2 + 2 * param(1) > params) r.bad("palette entries outside the record");
      break;
    case 0x0228:
      if (param(0) >= objects || param(1) >= objects) r.bad("object index outside the object table");
      break;
    case 0x0410:
    case 0x0412:  // scale extents: y denominator, y numerator, x denominator, x numerator
      if (param(0) == 0 || param(2) == 0) r.bad("zero scale divisor");
      break;
    case 0x0429:
      if (param(0) >= objects || param(1) >= objects) r.bad("object index outside the object table");
      break;
    case 0x0521:  // TextOut: count, string, y, x
      if (1 + (param(0) + 1) / 2 + 2 > params) r.bad("text outside the record");
      break;
    case 0x0A32: {  // ExtTextOut: y, x, count, options, [rectangle], string
      const std::uint64_t count = param(2), options = param(3);
      const std::uint64_t rect = (options & 0x6) ? 4 : 0;
      if (4 + rect + (count + 1) / 2 > params) r.bad("text outside the record");
      break;
    }
    case 0x0324:
    case 0x0325:
      if (1 + 2 * param(0) > params) r.bad("points outside the record");
      break;
    case 0x0538: {
      const std::uint64_t polys = param(0);
      if (1 + polys > params) r.bad("polygon counts outside the record");
      std::uint64_t points = 0;
      for (std::uint64_t i = 0; i < polys; ++i) points += param(1 + i);
      if (1 + polys + 2 * points > params) r.bad("points outside the record");
      break;
    }
    case 0x0626:
      if (2 + (param(1) + 1) / 2 > params) r.bad("escape data outside the record");
      break;
    case 0x00F7:
      if (2 + 2 * param(1) > params) r.bad("palette outside the record");
      break;
    case 0x0940:
    case 0x0B41:
    case 0x0F43:
    case 0x0D33:
    case 0x0142:
      if (const int at = wmfDibParam(function, params); at >= 0)
        checkWmfDib(r, std::size_t(at),
                    function == 0x0F43   ? std::uint32_t(param(2))
                    : function == 0x0D33 ? std::uint32_t(param(0))
                    : function == 0x0142 ? std::uint32_t(param(1))
                                         : 0);
      break;
    case 0x0922:
      if (params > 9) checkWmfBitmap16(r, 8);
      break;
    case 0x0B23:
      if (params > 11) checkWmfBitmap16(r, 10);
      break;
    case 0x01F9: checkWmfBitmap16(r, 0); break;
    case 0x06FF: {  // CreateRegion: 11 header words, then scans of count, top, bottom, pairs, count
      if (params < 11) r.bad("too short");
      const std::uint64_t scans = param(5);
      std::uint64_t at = 11;
      for (std::uint64_t s = 0; s < scans; ++s) {
        const std::uint64_t count = param(at);
        at += 4 + count;
        if (at > params) r.bad("region scans outside the record");
      }
      break;
    }
    default: break;
  }
}

// The reference device's size in pixels and millimetres scales the whole
// picture; players divide by them. Sizes that are zero, negative or absurd are
// replaced, keeping whichever of the two is sound at 96 pixels per inch.
void saneDeviceSize(std::vector<std::uint8_t>& header) {
  const auto sound = [](std::int32_t v) { return v > 0 && v <= 1000000; };
  std::uint8_t* p = header.data();
  for (int axis = 0; axis < 2; ++axis) {
    std::uint8_t* device = p + 72 + 4 * axis;
    std::uint8_t* mm = p + 80 + 4 * axis;
    const std::int32_t px = i32(device), millimetres = i32(mm);
    if (sound(px) && sound(millimetres)) continue;
    const std::int32_t fallbackPx = axis == 0 ? 1024 : 768;
    const std::int32_t newPx = sound(px) ? px : sound(millimetres) ? std::max(1, millimetres * 96 / 25) : fallbackPx;
    const std::int32_t newMm =
        sound(millimetres) ? millimetres : std::max(1, std::int32_t(std::int64_t(newPx) * 254 / 960));
    put32(device, std::uint32_t(newPx));
    put32(mm, std::uint32_t(newMm));
  }
  // A pixel format description outside the header is dropped.
  if (header.size() >= 100) {
    const std::uint64_t cb = u32(p + 88), off = u32(p + 92);
    if (cb && (off > header.size() || cb > header.size() - off)) put32(p + 88, 0), put32(p + 92, 0);
  }
  // The micrometre size, where present, follows the millimetres.
  if (header.size() >= 108)
    for (int axis = 0; axis < 2; ++axis) {
      const std::int32_t um = i32(p + 100 + 4 * axis), millimetres = i32(p + 80 + 4 * axis);
      if (!(um > 0 && um <= 1000000000)) put32(p + 100 + 4 * axis, std::uint32_t(millimetres * 1000));
    }
}

}  // namespace

MetafileKind detectMetafile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 4 && u32(bytes.data()) == PlaceableHeader::kKey) return MetafileKind::Placeable;
  if (bytes.size() >= 44 && u32(bytes.data()) == kEmrHeader && u32(bytes.data() + 40) == kEmfSignature)
    return MetafileKind::Enhanced;
  if (bytes.size() >= kWmfHeaderSize) {
    const std::uint16_t type = u16(bytes.data()), header = u16(bytes.data() + 2), version = u16(bytes.data() + 4);
    if ((type == 1 || type == 2) && header == 9 && (version == 0x100 || version == 0x300)) return MetafileKind::Windows;
  }
  return MetafileKind::Unknown;
}

CheckedMetafile checkEnhancedMetafile(std::span<const std::uint8_t> bytes, const MetafileLimits& limits) {
  if (bytes.size() > limits.maxBytes) fail("metafile too large");
  if (bytes.size() < kEmfHeaderMin || u32(bytes.data()) != kEmrHeader || u32(bytes.data() + 40) != kEmfSignature)
    fail("not an enhanced metafile");
  const std::uint8_t* d = bytes.data();
  const std::uint32_t headerSize = u32(d + 4);
  if (headerSize < kEmfHeaderMin || headerSize % 4 || headerSize > bytes.size()) fail("bad metafile header size");
  const std::uint32_t handles = u16(d + 56);
  std::vector<std::uint8_t> header(d, d + headerSize);
  saneDeviceSize(header);
  const std::uint64_t descriptionChars = u32(d + 60), descriptionOffset = u32(d + 64);
  if (descriptionChars && (descriptionOffset < kEmfHeaderMin || descriptionOffset > headerSize ||
                           descriptionChars * 2 > headerSize - descriptionOffset))
    fail("metafile description outside the header");
  // The declared length is often wrong (and longer than a file cut short): the
  // records are walked to the end record or the end of the file.
  const std::size_t length = bytes.size();
  CheckedMetafile result;
  auto& out = result.bytes;
  out = std::move(header);
  std::size_t at = headerSize, count = 1, index = 1;
  bool ended = false;
  while (at + 8 <= length) {
    const std::uint32_t type = u32(d + at), size = u32(d + at + 4);
    if (size < 8 || size % 4 || size > length - at) break;  // the file was cut here
    const Record r{d + at, size, index++, "metafile"};
    at += size;
    try {
      if (type == kEmrHeader) r.bad("second header");
      checkEmfRecord(r, type, handles);
    } catch (const MetafileError&) {
      ++result.droppedRecords;
      continue;
    }
    out.insert(out.end(), r.p, r.p + r.size);
    ++count;
    if (type == kEmrEof) {
      ended = true;
      break;
    }
  }
  if (!ended) {
    if (count == 1) fail("metafile has no records");
    const std::uint8_t eof[20] = {14, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0};
    out.insert(out.end(), std::begin(eof), std::end(eof));
    ++count;
    result.truncated = true;
  }
  put32(out.data() + 48, std::uint32_t(out.size()));
  put32(out.data() + 52, std::uint32_t(count));
  return result;
}

CheckedMetafile checkWindowsMetafile(std::span<const std::uint8_t> bytes, const MetafileLimits& limits) {
  if (bytes.size() > limits.maxBytes) fail("metafile too large");
  if (detectMetafile(bytes) != MetafileKind::Windows) fail("not a Windows metafile");
  const std::uint8_t* d = bytes.data();
  const std::uint32_t objects = u16(d + 10);
  CheckedMetafile result;
  auto& out = result.bytes;
  out.assign(d, d + kWmfHeaderSize);
  std::size_t at = kWmfHeaderSize, count = 0;
  std::uint32_t largest = 0;
  bool ended = false;
  while (at + 6 <= bytes.size()) {
    const std::uint64_t words = u32(d + at);
    const std::uint16_t function = u16(d + at + 4);
    if (words < 3 || words * 2 > bytes.size() - at) break;  // cut here
    const Record r{d + at, std::size_t(words * 2), count + result.droppedRecords + 1, "metafile"};
    at += r.size;
    try {
      checkWmfRecord(r, function, objects);
      out.insert(out.end(), r.p, r.p + r.size);
      spellOutColorCount(out.data() + out.size() - r.size, r.size, function);
      largest = std::max<std::uint32_t>(largest, std::uint32_t(words));
    } catch (const MetafileError&) {
      ++result.droppedRecords;
      if (!makesObject(function)) continue;
      // Objects are numbered by creation: a stand-in keeps the numbering.
      const std::uint8_t nullBrush[14] = {7, 0, 0, 0, 0xFC, 0x02, 1, 0, 0, 0, 0, 0, 0, 0};
      out.insert(out.end(), std::begin(nullBrush), std::end(nullBrush));
      largest = std::max<std::uint32_t>(largest, 7);
    }
    ++count;
    if (function == 0) {
      ended = true;
      break;
    }
  }
  if (count == 0) fail("metafile has no records");
  if (!ended) {
    const std::uint8_t eof[6] = {3, 0, 0, 0, 0, 0};
    out.insert(out.end(), std::begin(eof), std::end(eof));
    largest = std::max<std::uint32_t>(largest, 3);
    result.truncated = true;
  }
  put32(out.data() + 6, std::uint32_t(out.size() / 2));
  put32(out.data() + 12, largest);
  return result;
}

PlaceableHeader readPlaceableHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < PlaceableHeader::kSize || u32(bytes.data()) != PlaceableHeader::kKey)
    fail("not a placeable metafile");
  const std::uint8_t* d = bytes.data();
  PlaceableHeader h;
  h.left = std::int16_t(u16(d + 6));
  h.top = std::int16_t(u16(d + 8));
  h.right = std::int16_t(u16(d + 10));
  h.bottom = std::int16_t(u16(d + 12));
  h.inch = u16(d + 14);
  if (h.inch == 0) fail("placeable metafile has no unit");
  if (h.right == h.left || h.bottom == h.top) fail("placeable metafile has an empty box");
  return h;
}

std::vector<std::uint8_t> writePlaceableHeader(const PlaceableHeader& h) {
  std::vector<std::uint8_t> out(PlaceableHeader::kSize, 0);
  put32(out.data(), PlaceableHeader::kKey);
  put16(out.data() + 6, std::uint16_t(h.left));
  put16(out.data() + 8, std::uint16_t(h.top));
  put16(out.data() + 10, std::uint16_t(h.right));
  put16(out.data() + 12, std::uint16_t(h.bottom));
  put16(out.data() + 14, h.inch);
  std::uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= u16(out.data() + 2 * i);
  put16(out.data() + 20, sum);
  return out;
}

}  // namespace pelindra
