#pragma once
// The GIF picture: a GIF file held as an object tree (screen header with the
// global colour table, frames with their extensions, local colour tables and
// pixel indices) that reads and writes the GIF87a/GIF89a stream block by block.
//
// Everything here is portable. The window side wraps TGIFImage in its picture
// class: it turns PaletteHandle values into palette handles, blits the Dib
// renderings (through their masks) and drives painters in threads.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "engine/base/dib.h"
#include "engine/canvas/canvas.h"
#include "engine/gif/gif_stream.h"

namespace pelindra {

class TGIFImage;
class TGIFSubImage;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFPainter;
class TGIFPaintCanvas;

// Root of every codec object; the sender of warnings and progress reports.
class TGIFObject {
 public:
  virtual ~TGIFObject() = default;
};

enum class ProgressStage { Starting, Running, Ending };

using TGIFWarning = std::function<void(TGIFObject* sender, int severity, const std::string& message)>;
using TGIFProgress = std::function<void(TGIFObject* sender, ProgressStage stage, int percent, bool redrawNow,
                                        const std::string& message)>;

// A logical palette entry, laid out like the platform's PALETTEENTRY.
struct PaletteEntry {
  std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
constexpr std::uint8_t kPaletteNoCollapse = 0x04;
using Palette = std::vector<PaletteEntry>;
// A palette is shared and compared by identity, as palette handles are; null is "none".
using PaletteHandle = std::shared_ptr<const Palette>;
PaletteHandle MakePalette(Palette entries);

// A rendered bitmap together with the palette it was made for.
struct GIFBitmap {
  Dib Image;
  PaletteHandle Palette;
};

enum class TColorReduction : std::uint8_t {
  NoReduction,
  System20,
  Halftone256,
  FourGrays,
  BlackWhite,
  Grays256,
  WebCube216,
  Octree,
  OctreeSystem,
  GivenPalette
};
enum class TDitherMode : std::uint8_t { Nearest, FloydSteinberg, Stucki, Sierra, JaJuNi, SteveArche, Burkes };
enum class TGIFEncoding : std::uint8_t { LzwTable, RunLength };
enum class TDisposalMethod : std::uint8_t { None, NoDisposal, Background, Previous };

// Drawing and animation switches (PaintFlags bits).
enum TGIFPaintFlag : std::uint16_t {
  RunInThread = 1 << 0,
  DrawTransparent = 1 << 1,
  Animate = 1 << 2,
  LoopAnimation = 1 << 3,
  LoopForever = 1 << 4,
  CheckCanvas = 1 << 5,
  DrawDirect = 1 << 6,
  ClearOnLoop = 1 << 7,
  TileFrames = 1 << 8,
  DitherDisplay = 1 << 9,
  DitherPaletteOnly = 1 << 10,
};

// Optimiser options (a set of bits).
enum TGIFOptimizeOption : std::uint8_t {
  CropFrames = 1 << 0,
  MergePixels = 1 << 1,
  CleanUp = 1 << 2,
  PackColorMaps = 1 << 3,
  ReduceColorCount = 1 << 4,
};
constexpr std::uint8_t kAllOptimizeOptions = 31;

enum class TThreadPriority : std::uint8_t { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// The platform's "no colour" value.
constexpr Color clNone = 0x1FFFFFFF;

// Bounds on what a reader allocates for one picture; callers may tighten them.
struct GIFLimits {
  std::uint64_t MaxFramePixels = std::uint64_t(1) << 26;
  std::uint64_t MaxTotalPixels = std::uint64_t(1) << 28;
};

// Process-wide defaults taken by every new picture.
struct TGIFDefaults {
  std::uint16_t PaintFlags = 0x060F;
  TColorReduction ReductionMethod = TColorReduction::WebCube216;
  int ReductionDepth = 8;
  TDitherMode DitherKind = TDitherMode::Nearest;
  TGIFEncoding Encoding = TGIFEncoding::LzwTable;
  TThreadPriority PainterPriority = TThreadPriority::Normal;
  int SpeedPercent = 100;
  // Render each frame as soon as it is decoded.
  bool RenderOnLoad = false;
  // Optimise with all options before WriteData.
  bool OptimizeOnWrite = false;
  // The screen shows at most 256 colours (set once at start-up).
  bool PaletteDisplay = false;
  GIFLimits Limits;
};
extern TGIFDefaults GIFDefaults;

// The registered clipboard format and picture description.
inline constexpr const char* kGIFFormatName = "GIF Image";

// The number of bits a table of n colours needs: 0 for none, else at least 1.
int BitsForColors(int n);

// ---------------------------------------------------------------------------
// Colour tables

struct TGIFColor {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap : public TGIFObject {
 public:
  explicit TGIFColorMap(TGIFImage* image) : image_(image) {}
  void Assign(const TGIFColorMap& source);
  void Warn(int severity, const std::string& message);
  // Pixel counts per entry, over every frame that uses this table.
  virtual std::array<std::uint32_t, 256> CountUses() const = 0;
  // Moves every pixel (and transparent index) of the frames that use this table.
  virtual void RemapPixels(const std::array<std::uint8_t, 256>& map) = 0;
  // Sorts entries by use, most used first; false when there was nothing to sort.
  bool OptimizeColors();
  virtual void Changed() = 0;

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  bool SortedFlag() const { return sorted_; }
  void SetSortedFlag(bool sorted) { sorted_ = sorted; }
  std::span<const TGIFColor> Colors() const { return {data_.data(), std::size_t(count_)}; }
  const TGIFColor& operator[](int i) const { return data_[std::size_t(i)]; }

  int IndexOfColor(TGIFColor color) const;
  int AppendColor(TGIFColor color);
  int FindOrAppendColor(TGIFColor color);
  void RemoveColor(int index);
  TGIFColor ColorAt(int index);
  void SetColor(int index, TGIFColor color);
  PaletteHandle MakePaletteHandle() const;
  void ReadPaletteHandle(const PaletteHandle& palette);
  void ReadRgbQuads(std::span<const RgbQuad> table);
  void Clear();
  // Replaces the table with n entries of 3 bytes each.
  void SetRaw(const std::uint8_t* rgb, int n);

  TGIFImage* Image() const { return image_; }

 protected:
  void SetCount(int n);

  TGIFImage* image_;
  std::array<TGIFColor, 256> data_{};
  int count_ = 0;
  int capacity_ = 0;
  bool sorted_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  using TGIFColorMap::TGIFColorMap;
  std::array<std::uint32_t, 256> CountUses() const override;
  void RemapPixels(const std::array<std::uint8_t, 256>& map) override;
  void Changed() override;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  TGIFLocalColorMap(TGIFImage* image, TGIFSubImage* frame) : TGIFColorMap(image), frame_(frame) {}
  std::array<std::uint32_t, 256> CountUses() const override;
  void RemapPixels(const std::array<std::uint8_t, 256>& map) override;
  void Changed() override;

 private:
  TGIFSubImage* frame_;
};

// ---------------------------------------------------------------------------
// Items and lists

class TGIFItem : public TGIFObject {
 public:
  explicit TGIFItem(TGIFImage* image) : image_(image) {}
  virtual int VersionNeeded() const { return 1; }
  virtual void Warn(int severity, const std::string& message);
  virtual void SaveToStream(GIFByteStream& stream) = 0;
  virtual void LoadFromStream(GIFByteStream& stream) = 0;
  void SaveToFile(const std::string& name);
  void LoadFromFile(const std::string& name);
  TGIFImage* Image() const { return image_; }

 protected:
  TGIFImage* image_;
};

class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image);
  void Assign(const TGIFHeader& source);
  int VersionNeeded() const override;
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;
  void Clear();
  // Recomputes the packed byte from the colour tables of the picture.
  void Prepare();

  TGIFGlobalColorMap GlobalColors;
  std::uint16_t ScreenWidth = 0;
  std::uint16_t ScreenHeight = 0;
  std::uint8_t Packed = 0;
  std::uint8_t BackgroundIndex = 0;
  std::uint8_t AspectByte = 0;
};

class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;
};

class TGIFList : public TGIFObject {
 public:
  explicit TGIFList(TGIFImage* image) : image_(image) {}
  void Warn(int severity, const std::string& message);
  TGIFImage* Image() const { return image_; }

 protected:
  TGIFImage* image_;
};

template <class T>
class TGIFListOf : public TGIFList {
 public:
  using TGIFList::TGIFList;
  int Count() const { return int(items_.size()); }
  T* operator[](int i) const { return items_.at(std::size_t(i)).get(); }
  int Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  void Insert(int i, std::unique_ptr<T> item) { items_.insert(items_.begin() + i, std::move(item)); }
  // Frees the item at i.
  void Delete(int i) {
    std::unique_ptr<T> item = std::move(items_.at(std::size_t(i)));
    items_.erase(items_.begin() + i);
  }
  // Frees the item when it is listed.
  void Remove(const T* item) {
    for (int i = 0; i < Count(); ++i)
      if (items_[std::size_t(i)].get() == item) return Delete(i);
  }
  int IndexOf(const T* item) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[std::size_t(i)].get() == item) return i;
    return -1;
  }
  // Frees all items, last first.
  void Clear() {
    while (!items_.empty()) Delete(Count() - 1);
  }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  std::vector<std::unique_ptr<T>> items_;
};

class TGIFExtensionList : public TGIFListOf<TGIFExtension> {
 public:
  TGIFExtensionList(TGIFImage* image, TGIFSubImage* frame) : TGIFListOf(image), frame_(frame) {}
  ~TGIFExtensionList() { Clear(); }
  void SaveToStream(GIFByteStream& stream);
  void LoadFromStream(GIFByteStream& stream, TGIFSubImage* parent);

 private:
  TGIFSubImage* frame_;
};

class TGIFImageList : public TGIFListOf<TGIFSubImage> {
 public:
  using TGIFListOf::TGIFListOf;
  ~TGIFImageList();
  void SaveToStream(GIFByteStream& stream);
  void LoadFromStream(GIFByteStream& stream, TGIFImage* parent);
};

// ---------------------------------------------------------------------------
// Frames

struct TGIFImageDescriptor {
  std::uint8_t Separator = 0x2C;
  std::uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint8_t Packed = 0;
};

class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* image);
  ~TGIFSubImage() override;

  // Copies another frame (pixels, colours, extensions re-read through a stream).
  void Assign(const TGIFSubImage& source);
  // Converts a bitmap into this frame, reducing its colours when it has more
  // than 256 and taking mask pixels (non-zero) as transparent.
  void Assign(const Dib& bitmap, const Dib* mask = nullptr);
  // This frame's rendering (a copy), for a destination that is a bitmap.
  std::unique_ptr<GIFBitmap> AssignTo();
  int VersionNeeded() const override;
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;
  void Clear();

  bool Empty() const;
  int FrameLeft() const { return descriptor_.Left; }
  int FrameTop() const { return descriptor_.Top; }
  int FrameWidth() const { return descriptor_.Width; }
  int FrameHeight() const { return descriptor_.Height; }
  void SetFrameLeft(int v) { SetBounds(v, FrameTop(), FrameWidth(), FrameHeight()); }
  void SetFrameTop(int v) { SetBounds(FrameLeft(), v, FrameWidth(), FrameHeight()); }
  void SetFrameWidth(int v) { SetBounds(FrameLeft(), FrameTop(), v, FrameHeight()); }
  void SetFrameHeight(int v) { SetBounds(FrameLeft(), FrameTop(), FrameWidth(), v); }
  void SetBounds(int left, int top, int width, int height);
  Rect BoundsRect() const { return {FrameLeft(), FrameTop(), FrameLeft() + FrameWidth(), FrameTop() + FrameHeight()}; }
  bool Interlaced() const { return (descriptor_.Packed & 0x40) != 0; }
  void SetInterlaced(bool on) {
    descriptor_.Packed = std::uint8_t(on ? descriptor_.Packed | 0x40 : descriptor_.Packed & ~0x40);
  }
  const TGIFImageDescriptor& Descriptor() const { return descriptor_; }
  TGIFImageDescriptor& Descriptor() { return descriptor_; }

  // One colour index per pixel, rows top to bottom without padding.
  std::vector<std::uint8_t>& PixelData() { return pixels_; }
  const std::vector<std::uint8_t>& PixelData() const { return pixels_; }
  std::uint8_t Pixels(int x, int y) const;
  // Row y; makes zeroed pixel data when there is none.
  std::uint8_t* ScanLine(int y);

  TGIFLocalColorMap LocalColors;
  TGIFExtensionList ExtensionItems;
  // The local table when it has entries, else the global one when that has, else the empty local one.
  TGIFColorMap& ActiveColors();
  const TGIFColorMap& ActiveColors() const { return const_cast<TGIFSubImage*>(this)->ActiveColors(); }

  bool TransparentFlag() const { return transparent_; }
  void SetTransparentFlag(bool on) { transparent_ = on; }
  TGIFGraphicControlExtension* ControlBlock() const { return control_; }
  void SetControlBlock(TGIFGraphicControlExtension* gce) { control_ = gce; }
  // The control block's transparent index (0 without one).
  int TransparentIndex() const;
  int Delay() const;
  void SetDelay(int delay);

  // The cached rendering (Algorithm of the frame renderer); null for an empty frame.
  const GIFBitmap* FrameRendering();
  const GIFBitmap* FrameBitmap() const { return bitmap_.get(); }
  void SetFrameBitmap(std::unique_ptr<GIFBitmap> bitmap) { bitmap_ = std::move(bitmap); }
  // The transparency mask: 1 bit per pixel, a set bit for each transparent pixel.
  const Dib* FrameMask();
  bool HasMask();
  bool MaskPending() const { return mask_pending_; }
  void DropBitmap() { bitmap_.reset(); }
  void DropMask() {
    mask_.reset();
    mask_pending_ = true;
  }
  PaletteHandle FramePalette();
  // Forgets the cached palette.
  void DropPalette() { palette_.reset(); }

 private:
  friend class TGIFLocalColorMap;
  void RenderPlain(GIFBitmap& result, bool makeMask);
  void RenderDithered(GIFBitmap& result, bool makeMask);
  void AllocatePixels(int width, int height);

  std::unique_ptr<GIFBitmap> bitmap_;
  std::unique_ptr<Dib> mask_;
  bool mask_pending_ = true;
  PaletteHandle palette_;
  std::vector<std::uint8_t> pixels_;
  TGIFImageDescriptor descriptor_;
  bool transparent_ = false;
  TGIFGraphicControlExtension* control_ = nullptr;
};

// ---------------------------------------------------------------------------
// Extensions

class TGIFExtension;
// What a class reference is for the reader: how to make an instance, and how to
// find a more specific class from the bytes that follow the label.
struct TGIFExtensionClass {
  const char* Name;
  std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* frame);  // null for abstract classes
  const TGIFExtensionClass* (*ResolveClass)(const TGIFExtensionClass* self, GIFByteStream& stream);
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* frame);
  int VersionNeeded() const override { return 2; }
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;
  virtual std::uint8_t Label() const = 0;
  virtual const TGIFExtensionClass& Class() const = 0;
  TGIFSubImage* Frame() const { return frame_; }

 protected:
  TGIFSubImage* frame_;
};

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class_;
  explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
  ~TGIFGraphicControlExtension() override;
  std::uint8_t Label() const override { return 0xF9; }
  const TGIFExtensionClass& Class() const override { return Class_; }
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;

  TDisposalMethod Disposal() const { return TDisposalMethod((data_[1] >> 2) & 7); }
  int DisposalValue() const { return (data_[1] >> 2) & 7; }
  void SetDisposal(TDisposalMethod d) { data_[1] = std::uint8_t((data_[1] & ~0x1C) | ((int(d) & 7) << 2)); }
  bool UserInput() const { return (data_[1] & 2) != 0; }
  void SetUserInput(bool on) { data_[1] = std::uint8_t(on ? data_[1] | 2 : data_[1] & ~2); }
  bool Transparent() const { return (data_[1] & 1) != 0; }
  void SetTransparent(bool on);
  int Delay() const { return data_[2] | data_[3] << 8; }
  void SetDelay(int delay) {
    data_[2] = std::uint8_t(delay);
    data_[3] = std::uint8_t(delay >> 8);
  }
  int TransparentIndex() const { return data_[4]; }
  void SetTransparentIndex(int index);
  const std::array<std::uint8_t, 6>& Data() const { return data_; }

 private:
  std::array<std::uint8_t, 6> data_{4, 0, 0, 0, 0, 0};
};

class TGIFTextExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class_;
  explicit TGIFTextExtension(TGIFSubImage* frame);
  std::uint8_t Label() const override { return 0x01; }
  const TGIFExtensionClass& Class() const override { return Class_; }
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;

  std::array<std::uint8_t, 13> Header{12};
  std::vector<std::string> TextLines;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class_;
  explicit TGIFCommentExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}
  std::uint8_t Label() const override { return 0xFE; }
  const TGIFExtensionClass& Class() const override { return Class_; }
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;

  std::vector<std::string> TextLines;
};

class TGIFApplicationExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class_;
  using TGIFExtension::TGIFExtension;
  std::uint8_t Label() const override { return 0xFF; }
  void SaveToStream(GIFByteStream& stream) override;
  void LoadFromStream(GIFByteStream& stream) override;
  virtual void SaveData(GIFByteStream& stream) = 0;
  virtual void LoadData(GIFByteStream& stream) = 0;

  std::array<char, 11> Identifier{};
  std::string IdentifierText() const { return std::string(Identifier.data(), Identifier.size()); }
  void SetIdentifier(const std::string& id);
};

// A data sub-block kept verbatim.
struct TGIFBlock {
  std::vector<std::uint8_t> Data;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class_;
  explicit TGIFUnknownAppExtension(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {}
  const TGIFExtensionClass& Class() const override { return Class_; }
  void SaveData(GIFByteStream& stream) override;
  void LoadData(GIFByteStream& stream) override;

  std::vector<TGIFBlock> Blocks;
};

class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class_;
  explicit TGIFAppExtNSLoop(TGIFSubImage* frame);
  const TGIFExtensionClass& Class() const override { return Class_; }
  void SaveData(GIFByteStream& stream) override;
  void LoadData(GIFByteStream& stream) override;

  std::uint16_t LoopCount = 0;
  std::uint32_t BufferSize = 0;
};

// Label and application-identifier registries; a later registration of the same key wins.
void RegisterExtension(std::uint8_t label, const TGIFExtensionClass* cls);
void RegisterAppExtension(const std::string& identifier, const TGIFExtensionClass* cls);
const TGIFExtensionClass* FindExtension(std::uint8_t label);
const TGIFExtensionClass* FindAppExtension(const char* identifier11);

// ---------------------------------------------------------------------------
// The picture

class TGIFImage : public TGIFObject {
 public:
  TGIFImage();
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  void LoadFromStream(GIFByteStream& stream);
  void SaveToStream(GIFByteStream& stream);
  void LoadFromBytes(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> SaveToBytes();
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name);
  // The form streaming: optimises first when OptimizeOnWrite is on.
  void WriteData(GIFByteStream& stream);

  bool GetEmpty() const { return Frames.Count() == 0; }
  int GetWidth() const { return ScreenHeader.ScreenWidth; }
  int GetHeight() const { return ScreenHeader.ScreenHeight; }
  void SetWidth(int width);
  void SetHeight(int height);
  PaletteHandle GetPalette();
  void SetPalette(PaletteHandle palette);
  bool Equals(const TGIFImage& other) const { return this == &other; }

  // Copies another picture (null clears this one).
  void Assign(const TGIFImage* source);
  // Makes this picture one frame converted from a bitmap.
  void Assign(const Dib& bitmap, const Dib* mask = nullptr);
  // The picture as a bitmap (PictureBitmap), for a destination that is a bitmap.
  std::unique_ptr<GIFBitmap> AssignTo();

  int FrameCount() const { return Frames.Count(); }
  TGIFSubImage* FrameAt(int i) const { return Frames[i]; }
  void ClearAll();
  int AddFrame(std::unique_ptr<TGIFSubImage> frame);
  int AddFrame(const Dib& bitmap, const Dib* mask = nullptr);
  const GIFBitmap* PictureBitmap();
  bool HasTransparency() const;
  TGIFGlobalColorMap& GlobalColors() { return ScreenHeader.GlobalColors; }
  const TGIFGlobalColorMap& GlobalColors() const { return ScreenHeader.GlobalColors; }

  void OptimizeFrames(std::uint8_t options, TColorReduction method);
  // Dithering to the colour cube is in effect for renderings.
  bool DitheringActive() const;

  virtual void Warn(TGIFObject* sender, int severity, const std::string& message);
  void Progress(TGIFObject* sender, ProgressStage stage, int percent, bool redrawNow, const std::string& message);
  void Changed();
  void DropComposite();
  // A bitmap of the logical screen's size must stay within the limits.
  void CheckScreenSize() const;
  // Draws the picture (a still frame, or the animation's composite) on a canvas.
  void Draw(TGIFPaintCanvas& canvas, Rect rect);
  const GIFBitmap* CompositeBitmap() const { return composite_.get(); }
  std::unique_ptr<GIFBitmap>& CompositeSlot() { return composite_; }

  // Painters (the animation player); see gif_painter.h.
  void SetSpeed(int percent);
  void StopActive();
  void StopAll();
  std::recursive_mutex& PainterLock() { return painter_lock_; }
  std::vector<TGIFPainter*>& PainterList() { return painters_; }
  TGIFPainter*& ActivePainter() { return active_painter_; }

  TGIFHeader ScreenHeader;
  TGIFImageList Frames;

  std::uint16_t PaintFlags;
  TColorReduction ReductionMethod;
  int ReductionDepth;
  TDitherMode DitherKind;
  TGIFEncoding Encoding;
  TThreadPriority PainterPriority;
  int SpeedPercent;
  Color FillColor = clNone;
  GIFLimits Limits;
  // Set when a palette in use changed since the last rendering (the graphic's flag).
  bool PaletteModified = false;

  TGIFWarning OnWarn;
  TGIFProgress OnProgress;
  std::function<void()> OnChange;
  // Copied into each painter.
  std::function<void(TGIFPainter*)> OnPaintBegin, OnFrameShow, OnFrameDone, OnLoopAgain, OnPaintFinish;

 private:
  friend class TGIFSubImage;
  friend void DrawGIF(TGIFImage& image, TGIFPaintCanvas& canvas, Rect rect);
  bool drawing_guard_ = false;
  bool palette_guard_ = false;
  std::unique_ptr<TGIFPaintCanvas> composite_canvas_;
  PaletteHandle palette_;
  std::unique_ptr<GIFBitmap> composite_;
  std::recursive_mutex painter_lock_;
  std::vector<TGIFPainter*> painters_;
  TGIFPainter* active_painter_ = nullptr;
  std::uint64_t decoded_pixels_ = 0;
};

// Raises the codec's failure; every error of this module goes through here.
[[noreturn]] void GIFError(const std::string& message);

}  // namespace pelindra
