// A whole run on the German sample system whose INFRARED.INF is 100 MB
// (hostile_run.h has the checks every run must pass).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "../support/hostile_run.h"

namespace nl {
namespace {

using namespace nl::testing;

// ---- A 100 MB INF file ----
//
// The file is a short head holding the class name, then tiles of INF lines
// picked pseudo-randomly. No occurrence crosses a tile, so the edited file is
// the edited tiles in the same order, and both the file and its backup are
// checked tile by tile while streaming: no 100 MB text is ever built here.
// The tile lengths share no factor with the program's read size, so
// occurrences fall across its read boundaries.

constexpr std::uint64_t kBigFileBytes = 100ull * 1024 * 1024;
constexpr int kTileCount = 7;
const char kBigFileHead[] =
    "[Version]\r\nClass=Infrared\r\n[Strings]\r\n"
    "Class.Desc=\"Gro\xdf-Infrarotger\xe4te\"\r\n[Infrared.CopyFiles]\r\n";

// Long lines of comma-separated pieces, so the system's own reading of the
// file for the class name stays light.
std::string Tile(int index) {
  static const char* const kPieces[] = {
      "HKR", "Ndi\\params\\Port", "%Port%", "irmini.sys", "IrMiNi.SyS",
      "irmini.sysIRMINI.SYS", "iirmini.sys", "irmini.sy", "xyz xyz xyz",
  };
  const std::size_t length = 40000 + 3331 * static_cast<std::size_t>(index);
  std::mt19937 random(1000 + index);
  std::string tile;
  while (tile.size() + 4096 < length) {
    for (int piece = 0; piece < 300; ++piece) {
      tile += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
      tile += ',';
    }
    tile += "\r\n";
  }
  // A comment line brings the tile to its exact length.
  tile += ';';
  tile.append(length - tile.size() - 2, 'x');
  return tile + "\r\n";
}

// The tile at each place of the file.
int TileAt(std::uint64_t slot) {
  std::uint64_t x = slot * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  return static_cast<int>(x % kTileCount);
}

// Reads a file piece by piece and compares it with the expected pieces.
class StreamComparison {
 public:
  explicit StreamComparison(const std::string& hostPath)
      : in_(hostPath, std::ios::binary) {}
  bool Next(const std::string& expected) {
    buffer_.resize(expected.size());
    in_.read(&buffer_[0], static_cast<std::streamsize>(buffer_.size()));
    return in_.gcount() == static_cast<std::streamsize>(expected.size()) &&
           buffer_ == expected;
  }
  bool AtEnd() { return in_.peek() == std::char_traits<char>::eof(); }

 private:
  std::ifstream in_;
  std::string buffer_;
};

// Compares the whole file with the head and the tiles as given.
::testing::AssertionResult FileIsTiles(const std::string& hostPath,
                                       const std::string& head,
                                       const std::vector<std::string>& tiles,
                                       std::uint64_t slots) {
  StreamComparison file(hostPath);
  if (!file.Next(head)) return ::testing::AssertionFailure() << "head differs";
  for (std::uint64_t slot = 0; slot < slots; ++slot) {
    if (!file.Next(tiles[static_cast<std::size_t>(TileAt(slot))])) {
      return ::testing::AssertionFailure() << "tile " << slot << " differs";
    }
  }
  if (!file.AtEnd()) return ::testing::AssertionFailure() << "longer";
  return ::testing::AssertionSuccess();
}

TEST(HostileStateBigFile, HundredMegabyteInfraredInfIsEditedWhole) {
  HostileRun run(kGermanLcid);
  std::vector<std::string> tiles, editedTiles;
  for (int i = 0; i < kTileCount; ++i) {
    tiles.push_back(Tile(i));
    editedTiles.push_back(InfraredAfterRun(tiles.back()));
    ASSERT_NE(editedTiles.back(), tiles.back());
  }
  std::uint64_t slots = 0;
  {
    std::ofstream out(run.sim.Files().HostPath(run.Inf("INFRARED.INF")),
                      std::ios::binary | std::ios::trunc);
    std::uint64_t size = sizeof kBigFileHead - 1;
    out << kBigFileHead;
    while (size < kBigFileBytes) {
      const std::string& tile = tiles[static_cast<std::size_t>(TileAt(slots++))];
      out << tile;
      size += tile.size();
    }
    ASSERT_TRUE(out.good());
  }
  run.irminiOriginal = run.sim.Files().ReadFileText(run.Inf("IRMINI.INF"));
  run.outcome = RunWholeProgram(run.sim);

  ExpectSoundEnd(run);
  EXPECT_TRUE(FileIsTiles(run.sim.Files().HostPath(run.Inf("INFRARED.BAK")),
                          kBigFileHead, tiles, slots))
      << "INFRARED.BAK is not the original";
  EXPECT_TRUE(FileIsTiles(run.sim.Files().HostPath(run.Inf("INFRARED.INF")),
                          kBigFileHead, editedTiles, slots))
      << "INFRARED.INF is not edited as it should be";
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
  ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                  IrminiAfterRun(run.irminiOriginal, true));
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, ""), "Gro\xdf-Infrarotger\xe4te");
  ExpectDriverCopy(run, kCopiedDriver);
  EXPECT_FALSE(run.sim.Registry().KeyExists(kNetTransEntry));
}

}  // namespace
}  // namespace nl

