#include "engine/gif/gif_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "engine/gif/gif_colors.h"
#include "engine/gif/gif_dither.h"
#include "engine/gif/gif_draw.h"
#include "engine/gif/gif_lzw.h"
#include "engine/gif/gif_painter.h"

namespace pelindra {

TGIFDefaults GIFDefaults;

void GIFError(const std::string& message) { throw GIFException(message); }

PaletteHandle MakePalette(Palette entries) { return std::make_shared<const Palette>(std::move(entries)); }

int BitsForColors(int n) {
  if (n <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < n) ++bits;
  return bits;
}

namespace {

void ReadExact(GIFByteStream& stream, void* buffer, std::size_t count) {
  if (stream.Read(buffer, count) != count) GIFError("Premature end of data");
}

int ReadSize(GIFByteStream& stream) {
  const int value = stream.ReadByte();
  if (value < 0) GIFError("Premature end of data");
  return value;
}

void WriteWord(GIFByteStream& stream, int value) {
  stream.WriteByte(std::uint8_t(value));
  stream.WriteByte(std::uint8_t(value >> 8));
}

int Word(const std::uint8_t* p) { return p[0] | p[1] << 8; }

// A colour table as stored in the file: 2^bits entries, the missing ones black.
void WriteColorTable(GIFByteStream& stream, const TGIFColorMap& map) {
  const int n = 1 << BitsForColors(map.Count());
  std::vector<std::uint8_t> bytes(std::size_t(n) * 3, 0);
  for (int i = 0; i < map.Count(); ++i) {
    bytes[std::size_t(i) * 3] = map[i].Red;
    bytes[std::size_t(i) * 3 + 1] = map[i].Green;
    bytes[std::size_t(i) * 3 + 2] = map[i].Blue;
  }
  stream.Write(bytes.data(), bytes.size());
}

void ReadColorTable(GIFByteStream& stream, TGIFColorMap& map, int n) {
  std::uint8_t bytes[256 * 3];
  ReadExact(stream, bytes, std::size_t(n) * 3);
  map.SetRaw(bytes, n);
}

// Text carried in data sub-blocks: one line per sub-block when read.
void ReadTextLines(GIFByteStream& stream, std::vector<std::string>& lines) {
  lines.clear();
  for (;;) {
    const int size = stream.ReadByte();
    if (size <= 0) break;
    std::string line(std::size_t(size), '\0');
    ReadExact(stream, line.data(), line.size());
    lines.push_back(std::move(line));
  }
}

void WriteTextLines(GIFByteStream& stream, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    for (std::size_t at = 0; at < line.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, line.size() - at);
      stream.WriteByte(std::uint8_t(n));
      stream.Write(line.data() + at, n);
    }
  }
  stream.WriteByte(0);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) GIFError("Cannot open file " + name);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) GIFError("Cannot write file " + name);
}

struct Registry {
  std::vector<std::pair<std::uint8_t, const TGIFExtensionClass*>> labels;
  std::vector<std::pair<std::string, const TGIFExtensionClass*>> apps;
};

Registry& Registries() {
  static Registry registry = [] {
    Registry r;
    r.labels = {{0x01, &TGIFTextExtension::Class_},
                {0xF9, &TGIFGraphicControlExtension::Class_},
                {0xFE, &TGIFCommentExtension::Class_},
                {0xFF, &TGIFApplicationExtension::Class_}};
    r.apps = {{"NETSCAPE2.0", &TGIFAppExtNSLoop::Class_}, {"ANIMEXTS1.0", &TGIFAppExtNSLoop::Class_}};
    return r;
  }();
  return registry;
}

const TGIFExtensionClass* ResolveSelf(const TGIFExtensionClass* self, GIFByteStream&) { return self; }

// Looks behind the application block's size byte for the identifier.
const TGIFExtensionClass* ResolveApplication(const TGIFExtensionClass* self, GIFByteStream& stream) {
  const std::size_t at = stream.Position();
  const int size = stream.ReadByte();
  if (size < 0) return nullptr;
  if (size == 10 && stream.Remaining() >= 10) {
    stream.Seek(10);
    return &TGIFUnknownAppExtension::Class_;
  }
  if (size == 11 && stream.Remaining() >= 11) {
    char id[11];
    stream.Read(id, 11);
    const TGIFExtensionClass* found = FindAppExtension(id);
    return found ? found : &TGIFUnknownAppExtension::Class_;
  }
  stream.SetPosition(at);
  return self;
}

template <class T>
std::unique_ptr<TGIFExtension> Make(TGIFSubImage* frame) {
  return std::make_unique<T>(frame);
}

}  // namespace

// ---------------------------------------------------------------------------
// Registries

const TGIFExtensionClass TGIFGraphicControlExtension::Class_{"TGIFGraphicControlExtension",
                                                             &Make<TGIFGraphicControlExtension>, &ResolveSelf};
const TGIFExtensionClass TGIFTextExtension::Class_{"TGIFTextExtension", &Make<TGIFTextExtension>, &ResolveSelf};
const TGIFExtensionClass TGIFCommentExtension::Class_{"TGIFCommentExtension", &Make<TGIFCommentExtension>,
                                                      &ResolveSelf};
const TGIFExtensionClass TGIFApplicationExtension::Class_{"TGIFApplicationExtension", nullptr, &ResolveApplication};
const TGIFExtensionClass TGIFUnknownAppExtension::Class_{"TGIFUnknownAppExtension", &Make<TGIFUnknownAppExtension>,
                                                         &ResolveApplication};
const TGIFExtensionClass TGIFAppExtNSLoop::Class_{"TGIFAppExtNSLoop", &Make<TGIFAppExtNSLoop>, &ResolveApplication};

void RegisterExtension(std::uint8_t label, const TGIFExtensionClass* cls) {
  Registries().labels.emplace_back(label, cls);
}

void RegisterAppExtension(const std::string& identifier, const TGIFExtensionClass* cls) {
  Registries().apps.emplace_back(identifier.substr(0, 11), cls);
}

const TGIFExtensionClass* FindExtension(std::uint8_t label) {
  const auto& labels = Registries().labels;
  for (auto it = labels.rbegin(); it != labels.rend(); ++it)
    if (it->first == label) return it->second;
  return nullptr;
}

const TGIFExtensionClass* FindAppExtension(const char* identifier11) {
  const auto& apps = Registries().apps;
  for (auto it = apps.rbegin(); it != apps.rend(); ++it)
    if (it->first.size() == 11 && std::memcmp(it->first.data(), identifier11, 11) == 0) return it->second;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Colour maps

void TGIFColorMap::Warn(int severity, const std::string& message) {
  if (image_) image_->Warn(this, severity, message);
}

void TGIFColorMap::SetCount(int n) {
  count_ = n;
  if (n > capacity_) capacity_ = n <= 16 ? 16 : std::min(256, (n + 31) / 32 * 32);
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  data_ = source.data_;
  count_ = source.count_;
  capacity_ = source.capacity_;
  sorted_ = source.sorted_;
  Changed();
}

int TGIFColorMap::IndexOfColor(TGIFColor color) const {
  if (sorted_) {
    for (int i = 0; i < count_; ++i)
      if (data_[std::size_t(i)] == color) return i;
  } else {
    for (int i = count_ - 1; i >= 0; --i)
      if (data_[std::size_t(i)] == color) return i;
  }
  return -1;
}

int TGIFColorMap::AppendColor(TGIFColor color) {
  if (count_ >= 256) GIFError("Color table overflow");
  data_[std::size_t(count_)] = color;
  SetCount(count_ + 1);
  sorted_ = false;
  Changed();
  return count_ - 1;
}

int TGIFColorMap::FindOrAppendColor(TGIFColor color) {
  const int i = IndexOfColor(color);
  return i >= 0 ? i : AppendColor(color);
}

void TGIFColorMap::RemoveColor(int index) {
  if (index < 0 || index >= count_) GIFError("Invalid color index");
  std::copy(data_.begin() + index + 1, data_.begin() + count_, data_.begin() + index);
  --count_;
  sorted_ = false;
  Changed();
}

TGIFColor TGIFColorMap::ColorAt(int index) {
  if (index < 0 || index >= count_) {
    Warn(1, "Invalid color index");
    if (count_ == 0) GIFError("Color table is empty");
    index = 0;
  }
  return data_[std::size_t(index)];
}

void TGIFColorMap::SetColor(int index, TGIFColor color) {
  if (index < 0 || index >= count_) GIFError("Invalid color index");
  data_[std::size_t(index)] = color;
  Changed();
}

PaletteHandle TGIFColorMap::MakePaletteHandle() const {
  if (count_ == 0) return nullptr;
  Palette entries(static_cast<std::size_t>(count_));
  for (int i = 0; i < count_; ++i) {
    const TGIFColor& c = data_[std::size_t(i)];
    entries[std::size_t(i)] = {c.Red, c.Green, c.Blue, kPaletteNoCollapse};
  }
  return MakePalette(std::move(entries));
}

void TGIFColorMap::ReadPaletteHandle(const PaletteHandle& palette) {
  const int n = palette ? int(std::min<std::size_t>(palette->size(), 256)) : 0;
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = (*palette)[std::size_t(i)];
    data_[std::size_t(i)] = {e.red, e.green, e.blue};
  }
  SetCount(n);
  Changed();
}

void TGIFColorMap::ReadRgbQuads(std::span<const RgbQuad> table) {
  const int n = int(std::min<std::size_t>(table.size(), 256));
  for (int i = 0; i < n; ++i) {
    const RgbQuad& q = table[std::size_t(i)];
    data_[std::size_t(i)] = {q.red, q.green, q.blue};
  }
  SetCount(n);
  Changed();
}

void TGIFColorMap::SetRaw(const std::uint8_t* rgb, int n) {
  for (int i = 0; i < n; ++i) data_[std::size_t(i)] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
  SetCount(n);
  Changed();
}

void TGIFColorMap::Clear() {
  count_ = 0;
  sorted_ = false;
  Changed();
}

std::array<std::uint32_t, 256> TGIFGlobalColorMap::CountUses() const {
  std::array<std::uint32_t, 256> counts{};
  if (!image_) return counts;
  for (const auto& frame : image_->Frames)
    if (&frame->ActiveColors() == this)
      for (std::uint8_t p : frame->PixelData()) ++counts[p];
  return counts;
}

void TGIFGlobalColorMap::RemapPixels(const std::array<std::uint8_t, 256>& map) {
  if (!image_) return;
  for (const auto& frame : image_->Frames) {
    if (&frame->ActiveColors() != this) continue;
    for (std::uint8_t& p : frame->PixelData()) p = map[p];
    if (frame->TransparentFlag() && frame->ControlBlock())
      frame->ControlBlock()->SetTransparentIndex(map[std::size_t(frame->TransparentIndex())]);
    frame->DropBitmap();
    frame->DropMask();
  }
}

void TGIFGlobalColorMap::Changed() {
  if (image_) image_->SetPalette(nullptr);
}

std::array<std::uint32_t, 256> TGIFLocalColorMap::CountUses() const {
  std::array<std::uint32_t, 256> counts{};
  for (std::uint8_t p : frame_->PixelData()) ++counts[p];
  return counts;
}

void TGIFLocalColorMap::RemapPixels(const std::array<std::uint8_t, 256>& map) {
  for (std::uint8_t& p : frame_->PixelData()) p = map[p];
  if (frame_->TransparentFlag() && frame_->ControlBlock())
    frame_->ControlBlock()->SetTransparentIndex(map[std::size_t(frame_->TransparentIndex())]);
  frame_->DropBitmap();
  frame_->DropMask();
}

void TGIFLocalColorMap::Changed() {
  frame_->DropPalette();
  if (frame_->bitmap_) {
    frame_->bitmap_.reset();
    if (image_) {
      image_->PaletteModified = true;
      image_->Changed();
    }
  }
}

// ---------------------------------------------------------------------------
// Items, lists, header, trailer

void TGIFItem::Warn(int severity, const std::string& message) {
  if (image_) image_->Warn(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& name) {
  GIFByteStream stream;
  SaveToStream(stream);
  WriteFileBytes(name, stream.Bytes());
}

void TGIFItem::LoadFromFile(const std::string& name) {
  const auto bytes = ReadFileBytes(name);
  GIFByteStream stream(bytes);
  LoadFromStream(stream);
}

void TGIFList::Warn(int severity, const std::string& message) {
  if (image_) image_->Warn(this, severity, message);
}

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), GlobalColors(image) {}

void TGIFHeader::Assign(const TGIFHeader& source) {
  GlobalColors.Assign(source.GlobalColors);
  ScreenWidth = source.ScreenWidth;
  ScreenHeight = source.ScreenHeight;
  Packed = source.Packed;
  BackgroundIndex = source.BackgroundIndex;
  AspectByte = source.AspectByte;
}

int TGIFHeader::VersionNeeded() const {
  int version = 0;
  if (!image_) return version;
  for (const auto& frame : image_->Frames) {
    version = std::max(version, frame->VersionNeeded());
    if (version >= 2) break;
  }
  return version;
}

void TGIFHeader::Clear() {
  GlobalColors.Clear();
  ScreenWidth = ScreenHeight = 0;
  Packed = BackgroundIndex = AspectByte = 0;
}

void TGIFHeader::Prepare() {
  const int globalBits = BitsForColors(GlobalColors.Count());
  int largest = globalBits;
  if (image_)
    for (const auto& frame : image_->Frames) largest = std::max(largest, BitsForColors(frame->LocalColors.Count()));
  // A picture without any colour table still gets a valid (1-bit) resolution.
  const int resolution = std::max(largest, 1) - 1;
  int packed = (resolution & 7) << 4;
  if (GlobalColors.Count() > 0) {
    packed |= 0x80 | ((globalBits - 1) & 7);
    if (GlobalColors.SortedFlag()) packed |= 0x08;
  } else {
    packed |= resolution & 7;
  }
  Packed = std::uint8_t(packed);
}

void TGIFHeader::SaveToStream(GIFByteStream& stream) {
  WriteWord(stream, ScreenWidth);
  WriteWord(stream, ScreenHeight);
  stream.WriteByte(Packed);
  stream.WriteByte(BackgroundIndex);
  stream.WriteByte(AspectByte);
  if (Packed & 0x80) WriteColorTable(stream, GlobalColors);
}

void TGIFHeader::LoadFromStream(GIFByteStream& stream) {
  const std::size_t start = stream.Position();
  std::uint8_t signature[6] = {};
  auto isGif = [&](std::size_t got) {
    return got >= 3 && std::toupper(signature[0]) == 'G' && std::toupper(signature[1]) == 'I' &&
           std::toupper(signature[2]) == 'F';
  };
  std::size_t got = stream.Read(signature, 6);
  if (!isGif(got)) {
    stream.SetPosition(start);
    stream.Seek(4);
    got = stream.Read(signature, 6);
    if (!isGif(got)) GIFError("Invalid GIF signature");
  }
  if (got < 6) GIFError("Premature end of data");
  std::uint8_t d[7];
  ReadExact(stream, d, 7);
  ScreenWidth = std::uint16_t(Word(d));
  ScreenHeight = std::uint16_t(Word(d + 2));
  Packed = d[4];
  BackgroundIndex = d[5];
  AspectByte = d[6];
  if (Packed & 0x80) {
    const int n = 2 << (Packed & 7);
    if (n < 2 || n > 256) GIFError("Invalid number of colors specified in Screen Descriptor");
    ReadColorTable(stream, GlobalColors, n);
  } else {
    GlobalColors.Clear();
  }
}

void TGIFTrailer::SaveToStream(GIFByteStream& stream) { stream.WriteByte(';'); }

void TGIFTrailer::LoadFromStream(GIFByteStream& stream) {
  const int b = stream.ReadByte();
  if (b >= 0 && b != ';') Warn(1, "Invalid Image trailer");
}

void TGIFExtensionList::SaveToStream(GIFByteStream& stream) {
  for (const auto& ext : items_) ext->SaveToStream(stream);
}

void TGIFExtensionList::LoadFromStream(GIFByteStream& stream, TGIFSubImage* parent) {
  int b = stream.ReadByte();
  if (b < 0) return;
  while (b != ',' && b != ';') {
    if (b != '!') {
      Warn(1, "Invalid extension introducer");
      break;
    }
    const std::size_t at = stream.Position();
    const int label = stream.ReadByte();
    const TGIFExtensionClass* cls = label < 0 ? nullptr : FindExtension(std::uint8_t(label));
    while (cls) {
      const TGIFExtensionClass* next = cls->ResolveClass(cls, stream);
      if (next == cls) break;
      cls = next;
    }
    stream.SetPosition(at);
    if (!cls) GIFError("Unknown extension type");
    // The abstract application class has no data reader: blocks it is left
    // with (sizes other than 10 and 11) are kept verbatim instead.
    if (!cls->Create) cls = &TGIFUnknownAppExtension::Class_;
    stream.Seek(-1);
    std::unique_ptr<TGIFExtension> ext = cls->Create(parent ? parent : frame_);
    ext->LoadFromStream(stream);
    Add(std::move(ext));
    b = stream.ReadByte();
    if (b < 0) return;
  }
  stream.Seek(-1);
}

TGIFImageList::~TGIFImageList() { Clear(); }

void TGIFImageList::SaveToStream(GIFByteStream& stream) {
  const int n = Count();
  for (int i = 0; i < n; ++i) {
    items_[std::size_t(i)]->SaveToStream(stream);
    if (image_) image_->Progress(image_, ProgressStage::Running, (i + 1) * 100 / n, false, "Saving...");
  }
}

void TGIFImageList::LoadFromStream(GIFByteStream& stream, TGIFImage* parent) {
  auto nextBlock = [&] {
    int b;
    do b = stream.ReadByte();
    while (b == 0);
    return b;
  };
  int b = nextBlock();
  if (b < 0) return;
  while (b != ';') {
    stream.Seek(-1);
    if (b != '!' && b != ',') {
      Warn(1, "Unknown GIF block type");
      break;
    }
    auto frame = std::make_unique<TGIFSubImage>(parent);
    frame->LoadFromStream(stream);
    Add(std::move(frame));
    const int percent = stream.Size() ? int(std::uint64_t(stream.Position()) * 100 / stream.Size()) : 100;
    parent->Progress(parent, ProgressStage::Running, percent, GIFDefaults.RenderOnLoad, "Loading...");
    b = nextBlock();
    if (b < 0) return;
  }
  stream.Seek(-1);
}

// ---------------------------------------------------------------------------
// Extensions

TGIFExtension::TGIFExtension(TGIFSubImage* frame) : TGIFItem(frame ? frame->Image() : nullptr), frame_(frame) {}

void TGIFExtension::SaveToStream(GIFByteStream& stream) {
  stream.WriteByte('!');
  stream.WriteByte(Label());
}

void TGIFExtension::LoadFromStream(GIFByteStream& stream) {
  std::uint8_t head[2];
  ReadExact(stream, head, 2);
  if (head[0] != '!') GIFError("Invalid extension introducer");
  if (head[1] != Label()) GIFError("Internal error: Extension Instance does not match Extension Label");
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame) {
  if (frame_ && !frame_->ControlBlock()) frame_->SetControlBlock(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (!frame_) return;
  if (Transparent()) frame_->SetTransparentFlag(false);
  if (frame_->ControlBlock() == this) frame_->SetControlBlock(nullptr);
}

void TGIFGraphicControlExtension::SetTransparent(bool on) {
  data_[1] = std::uint8_t(on ? data_[1] | 1 : data_[1] & ~1);
  if (frame_) frame_->SetTransparentFlag(on);
}

void TGIFGraphicControlExtension::SetTransparentIndex(int index) {
  if (frame_) {
    const int count = frame_->ActiveColors().Count();
    if (count > 0 && (index < 0 || index >= count)) {
      Warn(1, "Invalid color index");
      index = 0;
    }
  }
  data_[4] = std::uint8_t(index);
}

void TGIFGraphicControlExtension::SaveToStream(GIFByteStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.Write(data_.data(), data_.size());
}

void TGIFGraphicControlExtension::LoadFromStream(GIFByteStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  const std::size_t got = stream.Read(data_.data(), data_.size());
  if (got < data_.size()) {
    Warn(1, "Premature end of data");
  } else if (Transparent() && frame_) {
    frame_->SetTransparentFlag(true);
  }
}

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFTextExtension::SaveToStream(GIFByteStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.Write(Header.data(), Header.size());
  WriteTextLines(stream, TextLines);
}

void TGIFTextExtension::LoadFromStream(GIFByteStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadExact(stream, Header.data(), Header.size());
  ReadTextLines(stream, TextLines);
}

void TGIFCommentExtension::SaveToStream(GIFByteStream& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteTextLines(stream, TextLines);
}

void TGIFCommentExtension::LoadFromStream(GIFByteStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadTextLines(stream, TextLines);
}

void TGIFApplicationExtension::SetIdentifier(const std::string& id) {
  Identifier.fill(0);
  std::memcpy(Identifier.data(), id.data(), std::min<std::size_t>(id.size(), 11));
}

void TGIFApplicationExtension::SaveToStream(GIFByteStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.WriteByte(11);
  stream.Write(Identifier.data(), 11);
  SaveData(stream);
  stream.WriteByte(0);
}

void TGIFApplicationExtension::LoadFromStream(GIFByteStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  const int size = ReadSize(stream);
  if (size == 10) Identifier.fill(0);
  if (size < 10) GIFError("Unsupported Application Extension block size");
  ReadExact(stream, Identifier.data(), 11);
  stream.Seek(size - 11);
  LoadData(stream);
}

void TGIFUnknownAppExtension::SaveData(GIFByteStream& stream) {
  for (const TGIFBlock& block : Blocks) {
    stream.WriteByte(std::uint8_t(block.Data.size()));
    stream.Write(block.Data.data(), block.Data.size());
  }
}

void TGIFUnknownAppExtension::LoadData(GIFByteStream& stream) {
  Blocks.clear();
  for (;;) {
    const int size = stream.ReadByte();
    if (size <= 0) break;
    TGIFBlock block;
    block.Data.resize(std::size_t(size));
    ReadExact(stream, block.Data.data(), block.Data.size());
    Blocks.push_back(std::move(block));
  }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {
  SetIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(GIFByteStream& stream) {
  stream.WriteByte(3);
  stream.WriteByte(1);
  WriteWord(stream, LoopCount);
  if (BufferSize > 0) {
    stream.WriteByte(5);
    stream.WriteByte(2);
    for (int i = 0; i < 4; ++i) stream.WriteByte(std::uint8_t(BufferSize >> (8 * i)));
  }
}

void TGIFAppExtNSLoop::LoadData(GIFByteStream& stream) {
  // Sub-blocks until the empty one; the end of the stream ends them as well.
  for (;;) {
    const int size = stream.ReadByte();
    if (size <= 0) break;
    const std::size_t start = stream.Position();
    const int id = stream.ReadByte();
    std::uint8_t value[4] = {};
    if ((id & 7) == 1) {
      if (size < 3) GIFError("Invalid GIF data");
      stream.Read(value, 2);
      LoopCount = std::uint16_t(Word(value));
    } else if ((id & 7) == 2) {
      if (size < 5) GIFError("Invalid GIF data");
      stream.Read(value, 4);
      BufferSize = std::uint32_t(value[0]) | std::uint32_t(value[1]) << 8 | std::uint32_t(value[2]) << 16 |
                   std::uint32_t(value[3]) << 24;
    }
    stream.SetPosition(start + std::size_t(size));
  }
}

// ---------------------------------------------------------------------------
// Frames

TGIFSubImage::TGIFSubImage(TGIFImage* image) : TGIFItem(image), LocalColors(image, this), ExtensionItems(image, this) {}

TGIFSubImage::~TGIFSubImage() { ExtensionItems.Clear(); }

void TGIFSubImage::Clear() {
  ExtensionItems.Clear();
  LocalColors.Clear();
  pixels_.clear();
  pixels_.shrink_to_fit();
  descriptor_.Width = descriptor_.Height = 0;
  transparent_ = false;
  control_ = nullptr;
  bitmap_.reset();
  DropMask();
}

bool TGIFSubImage::Empty() const { return pixels_.empty() || FrameWidth() == 0 || FrameHeight() == 0; }

void TGIFSubImage::AllocatePixels(int width, int height) {
  const std::uint64_t n = std::uint64_t(width) * std::uint64_t(height);
  const GIFLimits& limits = image_ ? image_->Limits : GIFDefaults.Limits;
  if (n > limits.MaxFramePixels) GIFError("Image is too large");
  pixels_.assign(std::size_t(n), 0);
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  const bool resized = width != FrameWidth() || height != FrameHeight();
  if (resized) {
    if (width < 0 || height < 0 || width > 65535 || height > 65535) GIFError("Invalid pixel coordinates");
    bitmap_.reset();
    DropMask();
    AllocatePixels(width, height);
  }
  descriptor_.Left = std::uint16_t(left);
  descriptor_.Top = std::uint16_t(top);
  descriptor_.Width = std::uint16_t(width);
  descriptor_.Height = std::uint16_t(height);
  if (!image_) return;
  bool warned = false;
  const int right = FrameLeft() + FrameWidth(), bottom = FrameTop() + FrameHeight();
  if (right > image_->GetWidth()) {
    if (image_->GetWidth() != 0) {
      Warn(1, "Image width too small for contained frames");
      warned = true;
    }
    image_->SetWidth(right);
  }
  if (bottom > image_->GetHeight()) {
    if (image_->GetHeight() != 0) {
      Warn(1, "Image height too small for contained frames");
      warned = true;
    }
    image_->SetHeight(bottom);
  }
  if (warned) Warn(1, "Image exceeds Logical Screen size");
}

std::uint8_t TGIFSubImage::Pixels(int x, int y) const {
  if (x < 0 || y < 0 || x >= FrameWidth() || y >= FrameHeight() || pixels_.empty())
    GIFError("Invalid pixel coordinates");
  return pixels_[std::size_t(y) * std::size_t(FrameWidth()) + std::size_t(x)];
}

std::uint8_t* TGIFSubImage::ScanLine(int y) {
  if (FrameWidth() == 0 || FrameHeight() == 0) GIFError("Image is empty");
  if (y < 0 || y >= FrameHeight()) GIFError("Invalid pixel coordinates");
  if (pixels_.empty()) AllocatePixels(FrameWidth(), FrameHeight());
  return pixels_.data() + std::size_t(y) * std::size_t(FrameWidth());
}

TGIFColorMap& TGIFSubImage::ActiveColors() {
  if (LocalColors.Count() > 0) return LocalColors;
  if (image_ && image_->GlobalColors().Count() > 0) return image_->GlobalColors();
  return LocalColors;
}

int TGIFSubImage::TransparentIndex() const { return control_ ? control_->TransparentIndex() : 0; }

int TGIFSubImage::Delay() const { return control_ ? control_->Delay() : 0; }

void TGIFSubImage::SetDelay(int delay) {
  if (!control_) ExtensionItems.Add(std::make_unique<TGIFGraphicControlExtension>(this));
  control_->SetDelay(delay);
}

int TGIFSubImage::VersionNeeded() const { return (LocalColors.SortedFlag() || ExtensionItems.Count() > 0) ? 2 : 1; }

void TGIFSubImage::SaveToStream(GIFByteStream& stream) {
  ExtensionItems.SaveToStream(stream);
  if (Empty()) return;
  if (LocalColors.Count() > 0) {
    descriptor_.Packed =
        std::uint8_t(0x80 | (LocalColors.SortedFlag() ? 0x20 : 0) | ((BitsForColors(LocalColors.Count()) - 1) & 7));
  } else {
    descriptor_.Packed &= std::uint8_t(~(0x80 | 0x20 | 0x07));
  }
  stream.WriteByte(0x2C);
  WriteWord(stream, descriptor_.Left);
  WriteWord(stream, descriptor_.Top);
  WriteWord(stream, descriptor_.Width);
  WriteWord(stream, descriptor_.Height);
  stream.WriteByte(descriptor_.Packed);
  if (LocalColors.Count() > 0) WriteColorTable(stream, LocalColors);
  EncodeFrame(*this, stream);
}

void TGIFSubImage::LoadFromStream(GIFByteStream& stream) {
  Clear();
  ExtensionItems.LoadFromStream(stream, this);
  const int b = stream.ReadByte();
  if (b < 0) return;
  stream.Seek(-1);
  if (b == ';' || b == 0) return;
  std::uint8_t d[10];
  ReadExact(stream, d, 10);
  descriptor_.Separator = d[0];
  descriptor_.Left = std::uint16_t(Word(d + 1));
  descriptor_.Top = std::uint16_t(Word(d + 3));
  descriptor_.Width = std::uint16_t(Word(d + 5));
  descriptor_.Height = std::uint16_t(Word(d + 7));
  descriptor_.Packed = d[9];
  if (descriptor_.Width == 0 || descriptor_.Height == 0) {
    if (image_) {
      descriptor_.Width = std::uint16_t(image_->GetWidth());
      descriptor_.Height = std::uint16_t(image_->GetHeight());
    }
    Warn(1, "Image exceeds Logical Screen size");
  }
  if (descriptor_.Packed & 0x80) {
    const int n = 2 << (descriptor_.Packed & 7);
    if (n < 2 || n > 256) GIFError("Invalid number of colors specified in Image Descriptor");
    ReadColorTable(stream, LocalColors, n);
  }
  AllocatePixels(FrameWidth(), FrameHeight());
  if (image_) {
    image_->decoded_pixels_ += pixels_.size();
    if (image_->decoded_pixels_ > image_->Limits.MaxTotalPixels) GIFError("Image is too large");
  }
  if (transparent_ && TransparentIndex() != 0)
    std::fill(pixels_.begin(), pixels_.end(), std::uint8_t(TransparentIndex()));
  DecodeFrame(*this, stream);
  if (GIFDefaults.RenderOnLoad) FrameRendering();
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
  Clear();
  if (!source.Empty()) {
    descriptor_ = source.descriptor_;
    transparent_ = source.transparent_;
    pixels_ = source.pixels_;
    LocalColors.Assign(source.LocalColors);
  }
  GIFByteStream out;
  const_cast<TGIFSubImage&>(source).ExtensionItems.SaveToStream(out);
  GIFByteStream in(out.Bytes());
  ExtensionItems.LoadFromStream(in, this);
  if (source.bitmap_) bitmap_ = std::make_unique<GIFBitmap>(*source.bitmap_);
}

std::unique_ptr<GIFBitmap> TGIFSubImage::AssignTo() {
  const GIFBitmap* rendering = FrameRendering();
  return rendering ? std::make_unique<GIFBitmap>(*rendering) : std::make_unique<GIFBitmap>();
}

PaletteHandle TGIFSubImage::FramePalette() {
  if (bitmap_ && bitmap_->Palette) return bitmap_->Palette;
  if (palette_) return palette_;
  if (image_ && image_->DitheringActive()) {
    palette_ = MakeWebPalette();
  } else if (LocalColors.Count() > 0) {
    palette_ = LocalColors.MakePaletteHandle();
  } else {
    return image_ ? image_->GetPalette() : nullptr;
  }
  return palette_;
}

namespace {

std::vector<RgbQuad> QuadsOf(const PaletteHandle& palette) {
  std::vector<RgbQuad> quads;
  if (!palette) return quads;
  for (const PaletteEntry& e : *palette) quads.push_back({e.blue, e.green, e.red, 0});
  if (quads.size() > 256) quads.resize(256);
  return quads;
}

// The transparency mask: white (1) where the pixel is transparent.
class MaskBuilder {
 public:
  MaskBuilder(bool active, int width, int height, int index)
      : active_(active), index_(index), mask_(active ? Dib(width, height, 1) : Dib()) {
    if (active_) mask_.colors() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
  }
  void Row(int y, const std::uint8_t* pixels, int width) {
    if (!active_) return;
    std::uint8_t* out = mask_.scanLine(y);
    for (int x = 0; x < width; ++x)
      if (pixels[x] == index_) {
        out[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        any_ = true;
      }
  }
  std::unique_ptr<Dib> Take() { return any_ ? std::make_unique<Dib>(std::move(mask_)) : nullptr; }

 private:
  bool active_;
  int index_;
  bool any_ = false;
  Dib mask_;
};

}  // namespace

void TGIFSubImage::RenderPlain(GIFBitmap& result, bool makeMask) {
  const PaletteHandle palette = FramePalette();
  const int width = FrameWidth(), height = FrameHeight();
  result.Image = Dib(width, height, 8);
  result.Image.colors() = QuadsOf(palette);
  result.Palette = palette;
  MaskBuilder mask(makeMask, width, height, TransparentIndex());
  for (int y = 0; y < height; ++y) {
    if (y % 32 == 0 && image_) image_->Progress(this, ProgressStage::Running, y * 100 / height, false, "Rendering...");
    const std::uint8_t* src = pixels_.data() + std::size_t(y) * std::size_t(width);
    std::memcpy(result.Image.scanLine(y), src, std::size_t(width));
    mask.Row(y, src, width);
  }
  if (makeMask) mask_ = mask.Take();
}

void TGIFSubImage::RenderDithered(GIFBitmap& result, bool makeMask) {
  const int width = FrameWidth(), height = FrameHeight();
  TGIFColorMap& colors = ActiveColors();
  // Every index reads a colour of the table; one beyond it reads entry 0.
  std::array<TGIFColor, 256> table{};
  const TGIFColor fallback = colors.Count() > 0 ? colors[0] : TGIFColor{};
  bool outside = false;
  for (int i = 0; i < 256; ++i) table[std::size_t(i)] = i < colors.Count() ? colors[i] : fallback;
  const int transparentIndex = TransparentIndex();
  std::uint8_t fill = 0;
  if (transparent_) {
    const TGIFColor t = colors.ColorAt(transparentIndex);
    fill = std::uint8_t(MulDiv(36, t.Red, 51) + MulDiv(6, t.Green, 51) + t.Blue / 51 + 1);
  }
  const PaletteHandle palette = FramePalette();
  result.Image = Dib(width, height, 8);
  result.Image.colors() = QuadsOf(palette);
  result.Palette = palette;
  TNetscapeColorLookup lookup;
  TFloydSteinbergDitherer ditherer(width, &lookup);
  MaskBuilder mask(makeMask, width, height, transparentIndex);
  for (int y = 0; y < height; ++y) {
    if (y % 32 == 0 && image_) image_->Progress(this, ProgressStage::Running, y * 100 / height, false, "Rendering...");
    const std::uint8_t* src = pixels_.data() + std::size_t(y) * std::size_t(width);
    std::uint8_t* out = result.Image.scanLine(y);
    if (transparent_) std::memset(out, fill, std::size_t(width));
    for (int n = 0; n < width; ++n) {
      const int x = ditherer.Column();
      const int index = src[x];
      if (transparent_ && index == transparentIndex) {
        ditherer.Skip();
        continue;
      }
      if (index >= colors.Count()) outside = true;
      const TGIFColor& c = table[std::size_t(index)];
      out[x] = std::uint8_t(ditherer.MapPixel(c.Red, c.Green, c.Blue).Index);
    }
    ditherer.EndRow();
    mask.Row(y, src, width);
  }
  if (outside) colors.ColorAt(colors.Count());
  if (makeMask) mask_ = mask.Take();
}

const GIFBitmap* TGIFSubImage::FrameRendering() {
  if (bitmap_) return bitmap_.get();
  if (Empty()) return nullptr;
  TGIFImage* image = image_;
  if (image) image->Progress(this, ProgressStage::Starting, 0, false, "Rendering...");
  const bool makeMask = mask_pending_ && transparent_ && !mask_;
  mask_pending_ = false;
  auto result = std::make_unique<GIFBitmap>();
  try {
    if (image && image->DitheringActive())
      RenderDithered(*result, makeMask);
    else
      RenderPlain(*result, makeMask);
  } catch (...) {
    if (image) image->Progress(this, ProgressStage::Ending, 0, false, "Rendering...");
    throw;
  }
  bitmap_ = std::move(result);
  if (image) {
    image->Progress(this, ProgressStage::Ending, 100, image->PaletteModified, "Rendering...");
    if (image->PaletteModified) image->Changed();
  }
  return bitmap_.get();
}

const Dib* TGIFSubImage::FrameMask() {
  HasMask();
  return mask_.get();
}

bool TGIFSubImage::HasMask() {
  if (mask_pending_ && transparent_) {
    bitmap_.reset();
    FrameRendering();
  }
  return mask_ != nullptr;
}

// ---------------------------------------------------------------------------
// The picture

TGIFImage::TGIFImage()
    : ScreenHeader(this),
      Frames(this),
      PaintFlags(GIFDefaults.PaintFlags),
      ReductionMethod(GIFDefaults.ReductionMethod),
      ReductionDepth(GIFDefaults.ReductionDepth),
      DitherKind(GIFDefaults.DitherKind),
      Encoding(GIFDefaults.Encoding),
      PainterPriority(GIFDefaults.PainterPriority),
      SpeedPercent(GIFDefaults.SpeedPercent),
      Limits(GIFDefaults.Limits) {}

TGIFImage::~TGIFImage() {
  StopAll();
  {
    std::lock_guard<std::recursive_mutex> lock(painter_lock_);
    painters_.clear();
    active_painter_ = nullptr;
  }
  OnWarn = nullptr;
  OnProgress = nullptr;
  OnChange = nullptr;
  composite_.reset();
  Frames.Clear();
}

void TGIFImage::Warn(TGIFObject* sender, int severity, const std::string& message) {
  if (OnWarn) OnWarn(sender, severity, message);
}

void TGIFImage::Progress(TGIFObject* sender, ProgressStage stage, int percent, bool redrawNow,
                         const std::string& message) {
  if (OnProgress) OnProgress(sender, stage, percent, redrawNow, message);
}

void TGIFImage::Changed() {
  if (OnChange) OnChange();
}

bool TGIFImage::DitheringActive() const {
  return (PaintFlags & DitherDisplay) && (!(PaintFlags & DitherPaletteOnly) || GIFDefaults.PaletteDisplay);
}

void TGIFImage::LoadFromStream(GIFByteStream& stream) {
  Progress(this, ProgressStage::Starting, 0, false, "Loading...");
  ClearAll();
  decoded_pixels_ = 0;
  const std::size_t start = stream.Position();
  try {
    ScreenHeader.LoadFromStream(stream);
    Frames.LoadFromStream(stream, this);
    TGIFTrailer(this).LoadFromStream(stream);
  } catch (...) {
    stream.SetPosition(start);
    Progress(this, ProgressStage::Ending, 0, true, "Loading...");
    throw;
  }
  Progress(this, ProgressStage::Ending, 100, true, "Loading...");
}

void TGIFImage::SaveToStream(GIFByteStream& stream) {
  Progress(this, ProgressStage::Starting, 0, false, "Saving...");
  try {
    const int version = ScreenHeader.VersionNeeded();
    if (version < 1 || version > 2) GIFError("Unsupported GIF version");
    stream.Write(version == 1 ? "GIF87a" : "GIF89a", 6);
    ScreenHeader.Prepare();
    ScreenHeader.SaveToStream(stream);
    Frames.SaveToStream(stream);
    TGIFTrailer(this).SaveToStream(stream);
  } catch (...) {
    Progress(this, ProgressStage::Ending, 0, true, "Saving...");
    throw;
  }
  Progress(this, ProgressStage::Ending, 100, true, "Saving...");
}

void TGIFImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  GIFByteStream stream(bytes);
  LoadFromStream(stream);
}

std::vector<std::uint8_t> TGIFImage::SaveToBytes() {
  GIFByteStream stream;
  SaveToStream(stream);
  return stream.TakeBytes();
}

void TGIFImage::LoadFromFile(const std::string& name) {
  const auto bytes = ReadFileBytes(name);
  LoadFromBytes(bytes);
}

void TGIFImage::SaveToFile(const std::string& name) { WriteFileBytes(name, SaveToBytes()); }

void TGIFImage::WriteData(GIFByteStream& stream) {
  if (GIFDefaults.OptimizeOnWrite) OptimizeFrames(kAllOptimizeOptions, TColorReduction::NoReduction);
  SaveToStream(stream);
}

void TGIFImage::SetWidth(int width) {
  for (const auto& frame : Frames)
    if (frame->FrameLeft() + frame->FrameWidth() > width) GIFError("Image width too small for contained frames");
  if (width > 65535) GIFError("Image width too small for contained frames");
  if (width == GetWidth()) return;
  ScreenHeader.ScreenWidth = std::uint16_t(width);
  StopActive();
  DropComposite();
  Changed();
}

void TGIFImage::SetHeight(int height) {
  for (const auto& frame : Frames)
    if (frame->FrameTop() + frame->FrameHeight() > height) GIFError("Image height too small for contained frames");
  if (height > 65535) GIFError("Image height too small for contained frames");
  if (height == GetHeight()) return;
  ScreenHeader.ScreenHeight = std::uint16_t(height);
  StopActive();
  DropComposite();
  Changed();
}

PaletteHandle TGIFImage::GetPalette() {
  if (palette_guard_) GIFError("No global or local color table defined");
  palette_guard_ = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{palette_guard_};
  if (composite_ && composite_->Palette) return composite_->Palette;
  if (palette_) return palette_;
  if (DitheringActive()) {
    palette_ = MakeWebPalette();
  } else if (GlobalColors().Count() > 0) {
    palette_ = GlobalColors().MakePaletteHandle();
  } else {
    return Frames.Count() > 0 ? Frames[0]->FramePalette() : nullptr;
  }
  return palette_;
}

void TGIFImage::SetPalette(PaletteHandle palette) {
  if (palette == palette_) return;
  palette_ = std::move(palette);
  if (composite_ && composite_->Palette != palette_) {
    StopActive();
    DropComposite();
    PaletteModified = true;
    Changed();
  }
}

void TGIFImage::ClearAll() {
  StopAll();
  DropComposite();
  Frames.Clear();
  ScreenHeader.GlobalColors.Clear();
  ScreenHeader.ScreenWidth = ScreenHeader.ScreenHeight = 0;
  ScreenHeader.Prepare();
  SetPalette(nullptr);
}

int TGIFImage::AddFrame(std::unique_ptr<TGIFSubImage> frame) {
  const int index = Frames.Add(std::move(frame));
  StopActive();
  DropComposite();
  Changed();
  return index;
}

int TGIFImage::AddFrame(const Dib& bitmap, const Dib* mask) {
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(bitmap, mask);
  return AddFrame(std::move(frame));
}

void TGIFImage::Assign(const TGIFImage* source) {
  if (source == this) return;
  ClearAll();
  if (!source) return;
  OnProgress = source->OnProgress;
  OnWarn = source->OnWarn;
  auto finish = [this] {
    OnProgress = nullptr;
    OnWarn = nullptr;
  };
  try {
    Progress(this, ProgressStage::Starting, 0, false, "Copying...");
    ScreenHeader.Assign(source->ScreenHeader);
    PainterPriority = source->PainterPriority;
    FillColor = source->FillColor;
    PaintFlags = source->PaintFlags;
    ReductionMethod = source->ReductionMethod;
    DitherKind = source->DitherKind;
    const int n = source->FrameCount();
    for (int i = 0; i < n; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(this);
      frame->Assign(*source->FrameAt(i));
      AddFrame(std::move(frame));
      Progress(this, ProgressStage::Running, (i + 1) * 100 / n, false, "Copying...");
    }
  } catch (...) {
    Progress(this, ProgressStage::Ending, 0, true, "Copying...");
    finish();
    throw;
  }
  Progress(this, ProgressStage::Ending, 100, true, "Copying...");
  finish();
}

void TGIFImage::Assign(const Dib& bitmap, const Dib* mask) {
  ClearAll();
  AddFrame(bitmap, mask);
}

const GIFBitmap* TGIFImage::PictureBitmap() {
  if (GetEmpty()) return nullptr;
  if (composite_) return composite_.get();
  auto bitmap = std::make_unique<GIFBitmap>();
  TGIFSubImage* first = Frames[0];
  if (first->FrameWidth() == GetWidth() && first->FrameHeight() == GetHeight()) {
    if (const GIFBitmap* rendering = first->FrameRendering()) *bitmap = *rendering;
  } else {
    CheckScreenSize();
    bitmap->Palette = GetPalette();
    bitmap->Image = Dib(GetWidth(), GetHeight(), 24);
    if (const GIFBitmap* rendering = first->FrameRendering())
      StretchDraw(bitmap->Image, first->BoundsRect(), rendering->Image, nullptr);
  }
  composite_ = std::move(bitmap);
  return composite_.get();
}

std::unique_ptr<GIFBitmap> TGIFImage::AssignTo() {
  const GIFBitmap* bitmap = PictureBitmap();
  return bitmap ? std::make_unique<GIFBitmap>(*bitmap) : std::make_unique<GIFBitmap>();
}

void TGIFImage::CheckScreenSize() const {
  if (std::uint64_t(GetWidth()) * std::uint64_t(GetHeight()) > Limits.MaxFramePixels) GIFError("Image is too large");
}

void TGIFImage::DropComposite() {
  composite_canvas_.reset();
  composite_.reset();
}

void TGIFImage::Draw(TGIFPaintCanvas& canvas, Rect rect) { DrawGIF(*this, canvas, rect); }

bool TGIFImage::HasTransparency() const {
  for (const auto& frame : Frames)
    if (frame->ControlBlock() && frame->ControlBlock()->Transparent()) return true;
  return false;
}

}  // namespace pelindra
