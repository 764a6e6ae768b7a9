// Every sample file of the shared corpus, and damaged copies of each, either
// shows or is refused with EInvalidGraphic: never a crash, a hang or another
// kind of error.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "tests/win32/support/win_test.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/picture.h"

namespace vcl {
namespace {

struct Sample {
  std::filesystem::path path;
  std::wstring kind;  // the registered extension that reads it
};

std::vector<Sample> samples() {
  std::vector<Sample> found;
  for (const auto& [folder, kind] : {std::pair{"bmp", L"bmp"}, std::pair{"ico", L"ico"}, std::pair{"wmf", L"wmf"},
                                     std::pair{"emf", L"emf"}, std::pair{"jpeg", L"jpg"}}) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(pelindra::test::testdata(folder))) {
      const auto ext = e.path().extension().string();
      if (e.is_regular_file() && ext != ".txt" && ext != ".md" && ext != ".conf") found.push_back({e.path(), kind});
    }
  }
  std::sort(found.begin(), found.end(), [](const Sample& a, const Sample& b) { return a.path < b.path; });
  return found;
}

std::unique_ptr<TGraphic> create(const std::wstring& kind) {
  for (const auto& f : TPicture::FileFormats())
    if (f.extension == kind) return f.create();
  return nullptr;
}

// Reads the bytes as the kind and draws the result (at most 256 pixels a side);
// true when shown, false when refused.
bool show(const std::wstring& kind, std::span<const std::uint8_t> bytes) {
  auto graphic = create(kind);
  try {
    graphic->LoadFromStream(bytes);
    TBitmap target(std::clamp(graphic->Width(), 1, 256), std::clamp(graphic->Height(), 1, 256), pf24bit);
    target.Canvas().StretchDraw({0, 0, target.Width(), target.Height()}, *graphic);
    return true;
  } catch (const EInvalidGraphic&) {
    return false;
  }
}

TEST(CorpusSweep, EverySampleShowsOrIsRefused) {
  if (!pelindra::test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  int shown = 0, refused = 0;
  for (const auto& s : samples()) {
    SCOPED_TRACE(s.path.string());
    (show(s.kind, ReadFileBytes(s.path.wstring())) ? shown : refused)++;
  }
  // Most samples are sound pictures.
  EXPECT_GT(shown, 3 * refused);
}

TEST(CorpusSweep, DamagedCopiesShowOrAreRefused) {
  if (!pelindra::test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  std::mt19937 random(20240611);
  for (const auto& s : samples()) {
    const auto original = ReadFileBytes(s.path.wstring());
    if (original.empty()) continue;
    for (int copy = 0; copy < 6; ++copy) {
      auto bytes = original;
      const int edits = 1 + int(random() % 8);
      for (int i = 0; i < edits; ++i) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 4) {
          case 0: bytes[at] = std::uint8_t(random()); break;
          case 1: bytes[at] ^= std::uint8_t(1u << (random() % 8)); break;
          case 2: bytes[at] = random() % 2 ? 0xFF : 0x00; break;
          default: bytes.resize(std::max<std::size_t>(at, 1)); break;  // cut short
        }
      }
      SCOPED_TRACE(s.path.string() + " copy " + std::to_string(copy));
      show(s.kind, bytes);
    }
  }
}

}  // namespace
}  // namespace vcl
