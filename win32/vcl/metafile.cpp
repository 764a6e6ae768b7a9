#include "win32/vcl/metafile.h"

#include <algorithm>
#include <cstring>

#include "engine/base/metafile_check.h"

namespace vcl {

namespace {

// Pixels and hundredths of a millimetre on the screen, by the same ratio GDI
// uses when it records for the screen, so that sizes survive a round trip.
struct ScreenScale {
  int horzRes, vertRes, horzSize100, vertSize100;
};

ScreenScale screenScale() {
  WindowDC screen;
  ScreenScale s{1024, 768, 27093, 20320};  // 96 dpi, should the screen not answer
  if (screen.get()) {
    const int hr = GetDeviceCaps(screen.get(), HORZRES), vr = GetDeviceCaps(screen.get(), VERTRES);
    const int hs = GetDeviceCaps(screen.get(), HORZSIZE), vs = GetDeviceCaps(screen.get(), VERTSIZE);
    if (hr > 0 && vr > 0 && hs > 0 && vs > 0) s = {hr, vr, hs * 100, vs * 100};
  }
  return s;
}

// Along the horizontal (x) or vertical axis of the screen.
int mmToPixels(int mm, bool x) {
  const auto s = screenScale();
  return x ? MulDiv(mm, s.horzRes, s.horzSize100) : MulDiv(mm, s.vertRes, s.vertSize100);
}
int pixelsToMM(int px, bool x) {
  const auto s = screenScale();
  return x ? MulDiv(px, s.horzSize100, s.horzRes) : MulDiv(px, s.vertSize100, s.vertRes);
}

// The size of an enhanced metafile from its header: the frame, or when that is
// missing the bounds on the recording device.
SIZE frameSize(HENHMETAFILE h) {
  ENHMETAHEADER header{};
  if (!GetEnhMetaFileHeader(h, sizeof header, &header)) return {0, 0};
  SIZE mm{header.rclFrame.right - header.rclFrame.left, header.rclFrame.bottom - header.rclFrame.top};
  if (mm.cx <= 0 || mm.cy <= 0) {
    const LONG w = header.rclBounds.right - header.rclBounds.left + 1;
    const LONG h2 = header.rclBounds.bottom - header.rclBounds.top + 1;
    if (header.szlDevice.cx > 0 && header.szlDevice.cy > 0 && w > 0 && h2 > 0)
      mm = {MulDiv(w, header.szlMillimeters.cx * 100, header.szlDevice.cx),
            MulDiv(h2, header.szlMillimeters.cy * 100, header.szlDevice.cy)};
    else
      mm = {0, 0};
  }
  return mm;
}

// A plain Windows metafile names its extent in a SetWindowExt record, if anywhere.
bool windowExtent(std::span<const std::uint8_t> wmf, SIZE& extent) {
  std::size_t at = 18;
  while (at + 10 <= wmf.size()) {
    const std::uint32_t words = std::uint32_t(wmf[at]) | std::uint32_t(wmf[at + 1]) << 8 |
                                std::uint32_t(wmf[at + 2]) << 16 | std::uint32_t(wmf[at + 3]) << 24;
    const unsigned function = unsigned(wmf[at + 4]) | unsigned(wmf[at + 5]) << 8;
    if (words < 3 || words * 2 > wmf.size() - at) break;
    if (function == 0x020C && words >= 5) {
      const auto y = std::int16_t(wmf[at + 6] | wmf[at + 7] << 8), x = std::int16_t(wmf[at + 8] | wmf[at + 9] << 8);
      extent = {std::abs(x), std::abs(y)};
      return extent.cx > 0 && extent.cy > 0;
    }
    at += words * 2;
  }
  return false;
}

}  // namespace

TMetafile::TMetafile(const TMetafile& other)
    : TGraphic(other),
      Enhanced(other.Enhanced),
      handle_(other.handle_ ? CopyEnhMetaFileW(other.handle_.get(), nullptr) : nullptr),
      mmWidth_(other.mmWidth_),
      mmHeight_(other.mmHeight_),
      inch_(other.inch_) {
  if (other.handle_ && !handle_) throw EInvalidGraphic("Out of system resources for a metafile");
}

int TMetafile::Width() const { return mmToPixels(mmWidth_, true); }
int TMetafile::Height() const { return mmToPixels(mmHeight_, false); }

void TMetafile::SetWidth(int width) {
  mmWidth_ = pixelsToMM(width, true);
  Changed();
}

void TMetafile::SetHeight(int height) {
  mmHeight_ = pixelsToMM(height, false);
  Changed();
}

void TMetafile::adopt(EnhMetafileHandle handle, int mmWidth, int mmHeight, int inch) {
  handle_ = std::move(handle);
  mmWidth_ = mmWidth;
  mmHeight_ = mmHeight;
  inch_ = inch;
}

void TMetafile::SetHandle(HENHMETAFILE handle) {
  const SIZE mm = handle ? frameSize(handle) : SIZE{0, 0};
  adopt(EnhMetafileHandle(handle), mm.cx, mm.cy, 0);
  Changed();
}

HENHMETAFILE TMetafile::ReleaseHandle() {
  HENHMETAFILE h = handle_.release();
  mmWidth_ = mmHeight_ = inch_ = 0;
  Changed();
  return h;
}

void TMetafile::Clear() {
  adopt(EnhMetafileHandle(), 0, 0, 0);
  Changed();
}

std::wstring TMetafile::descriptionText(int which) const {
  if (!handle_) return {};
  const UINT n = GetEnhMetaFileDescriptionW(handle_.get(), 0, nullptr);
  if (n == 0 || n == GDI_ERROR) return {};
  std::wstring text(n, L'\0');
  GetEnhMetaFileDescriptionW(handle_.get(), n, text.data());
  const std::size_t end = text.find(L'\0');
  if (which == 0) return text.substr(0, end);
  if (end == std::wstring::npos) return {};
  return std::wstring(text.c_str() + end + 1);
}

std::wstring TMetafile::CreatedBy() const { return descriptionText(0); }
std::wstring TMetafile::Description() const { return descriptionText(1); }

void TMetafile::Draw(TCanvas& canvas, const RECT& r) {
  if (handle_ && canvas.Handle()) PlayEnhMetaFile(canvas.Handle(), handle_.get(), &r);
}

void TMetafile::LoadFromStream(std::span<const std::uint8_t> bytes) {
  try {
    switch (pelindra::detectMetafile(bytes)) {
      case pelindra::MetafileKind::Enhanced: {
        const auto checked = pelindra::checkEnhancedMetafile(bytes).bytes;
        EnhMetafileHandle h(SetEnhMetaFileBits(UINT(checked.size()), checked.data()));
        if (!h) throw EInvalidGraphic("Invalid metafile");
        const SIZE mm = frameSize(h.get());
        adopt(std::move(h), mm.cx, mm.cy, 0);
        Enhanced = true;
        break;
      }
      case pelindra::MetafileKind::Placeable: {
        const auto header = pelindra::readPlaceableHeader(bytes);
        const auto checked = pelindra::checkWindowsMetafile(bytes.subspan(pelindra::PlaceableHeader::kSize)).bytes;
        const int mmW = MulDiv(std::abs(header.right - header.left), 2540, header.inch);
        const int mmH = MulDiv(std::abs(header.bottom - header.top), 2540, header.inch);
        const METAFILEPICT picture{MM_ANISOTROPIC, mmW, mmH, nullptr};
        EnhMetafileHandle h(SetWinMetaFileBits(UINT(checked.size()), checked.data(), nullptr, &picture));
        if (!h) throw EInvalidGraphic("Invalid metafile");
        adopt(std::move(h), mmW, mmH, header.inch);
        Enhanced = false;
        break;
      }
      case pelindra::MetafileKind::Windows: {
        const auto checked = pelindra::checkWindowsMetafile(bytes).bytes;
        // Without a placeable header the units are unknown: the window extent
        // is taken as screen pixels.
        SIZE extent{};
        METAFILEPICT picture{MM_ANISOTROPIC, 0, 0, nullptr};
        const bool sized = windowExtent(checked, extent);
        if (sized) picture.xExt = pixelsToMM(extent.cx, true), picture.yExt = pixelsToMM(extent.cy, false);
        EnhMetafileHandle h(
            SetWinMetaFileBits(UINT(checked.size()), checked.data(), nullptr, sized ? &picture : nullptr));
        if (!h) throw EInvalidGraphic("Invalid metafile");
        const SIZE mm = sized ? SIZE{picture.xExt, picture.yExt} : frameSize(h.get());
        adopt(std::move(h), mm.cx, mm.cy, 0);
        Enhanced = false;
        break;
      }
      case pelindra::MetafileKind::Unknown: throw EInvalidGraphic("Invalid metafile");
    }
  } catch (const pelindra::MetafileError& e) {
    throw EInvalidGraphic(std::string("Invalid metafile: ") + e.what());
  }
  Changed();
}

std::vector<std::uint8_t> TMetafile::SaveToStream() const {
  if (!handle_) return {};
  if (Enhanced) {
    const UINT n = GetEnhMetaFileBits(handle_.get(), 0, nullptr);
    std::vector<std::uint8_t> bytes(n);
    if (n == 0 || GetEnhMetaFileBits(handle_.get(), n, bytes.data()) != n)
      throw EInvalidGraphic("Cannot write the metafile");
    return bytes;
  }
  WindowDC screen;
  const UINT n = GetWinMetaFileBits(handle_.get(), 0, nullptr, MM_ANISOTROPIC, screen.get());
  std::vector<std::uint8_t> body(n);
  if (n == 0 || GetWinMetaFileBits(handle_.get(), n, body.data(), MM_ANISOTROPIC, screen.get()) != n)
    throw EInvalidGraphic("Cannot write the metafile");
  // The box is a 16-bit number of units: coarser units for very large pictures.
  pelindra::PlaceableHeader header;
  int inch = inch_ > 0 ? inch_ : 96;
  int right = 0, bottom = 0;
  for (;;) {
    right = std::max(1, MulDiv(mmWidth_, inch, 2540));
    bottom = std::max(1, MulDiv(mmHeight_, inch, 2540));
    if ((right <= 32767 && bottom <= 32767) || inch == 1) break;
    inch = std::max(1, inch / 2);
  }
  header.right = std::int16_t(std::min(right, 32767));
  header.bottom = std::int16_t(std::min(bottom, 32767));
  header.inch = std::uint16_t(inch);
  std::vector<std::uint8_t> bytes = pelindra::writePlaceableHeader(header);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

void TMetafile::Assign(const TGraphic& source) {
  if (&source == this) return;
  if (const auto* other = dynamic_cast<const TMetafile*>(&source)) {
    EnhMetafileHandle copy(other->handle_ ? CopyEnhMetaFileW(other->handle_.get(), nullptr) : nullptr);
    if (other->handle_ && !copy) throw EInvalidGraphic("Out of system resources for a metafile");
    adopt(std::move(copy), other->mmWidth_, other->mmHeight_, other->inch_);
    Enhanced = other->Enhanced;
    Transparent = other->Transparent;
    Changed();
    return;
  }
  if (source.AssignTo(*this)) return;
  throw EInvalidGraphic("Cannot assign this picture to a metafile");
}

std::unique_ptr<TGraphic> TMetafile::Clone() const { return std::make_unique<TMetafile>(*this); }

// ------------------------------------------------------------ TMetafileCanvas

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, HDC referenceDevice)
    : TMetafileCanvas(metafile, referenceDevice, {}, {}) {}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, HDC referenceDevice, const std::wstring& createdBy,
                                 const std::wstring& description)
    : metafile_(metafile) {
  std::wstring text;
  if (!createdBy.empty() || !description.empty()) {
    text = createdBy;
    text.push_back(L'\0');
    text += description;
    text.push_back(L'\0');  // the second terminator comes from c_str()
  }
  const RECT frame{0, 0, metafile.MMWidth(), metafile.MMHeight()};
  const bool framed = frame.right > 0 && frame.bottom > 0;
  recording_ =
      CreateEnhMetaFileW(referenceDevice, nullptr, framed ? &frame : nullptr, text.empty() ? nullptr : text.c_str());
  if (!recording_) throw EInvalidGraphic("Cannot create a metafile");
  SetHandle(recording_);
}

TMetafileCanvas::~TMetafileCanvas() {
  try {
    Close();
  } catch (...) {
    // A change handler must not end the program from a destructor.
  }
}

void TMetafileCanvas::Close() {
  if (!recording_) return;
  SetHandle(nullptr);
  EnhMetafileHandle h(CloseEnhMetaFile(recording_));
  recording_ = nullptr;
  if (!h) return;
  // A size given before recording stays; otherwise the frame GDI worked out.
  int mmW = metafile_.MMWidth(), mmH = metafile_.MMHeight();
  if (mmW <= 0 || mmH <= 0) {
    const SIZE mm = frameSize(h.get());
    mmW = mm.cx, mmH = mm.cy;
  }
  metafile_.adopt(std::move(h), mmW, mmH, 0);
  metafile_.Enhanced = true;
  metafile_.Changed();
}

}  // namespace vcl
