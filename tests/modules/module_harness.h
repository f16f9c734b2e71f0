// Headless frames of one effect module, and the broken data folders its tests
// load it from. The module's state is file-level and its init runs once a
// process, so each data folder gets a child process of this test binary.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "modules/modules.h"

// The forged data beside the built show (Images/, Models/, Music/).
std::string BuiltDataDir();

// A scratch data folder named after `tag`: Images/ and Music/ link to the
// built ones, Models/ is a copy the test may break. Removed with the object.
struct ScratchData {
  explicit ScratchData(const std::string& tag);
  ~ScratchData();
  std::string dir;
  std::string Model(const std::string& file) const;  // dir/Models/file
};

// Cuts `path` to half its length (a .3ds file that ends inside a chunk).
void TruncateFile(const std::string& path);

// Enters `dataDir`, leaves only module `id` in moduleTable and runs the loading
// sequence: shared objects and textures, then the module's hand-over, init and
// warm-up calls. File-read boxes are recorded, not shown (see FileErrors).
// Needs the current GL context of a GlTest. The other rows stay empty.
void LoadOnlyModule(ModuleId id, const std::string& dataDir);

// Texts of the file-read boxes raised since the last LoadOnlyModule.
const std::vector<std::string>& FileErrors();

// The data folder a child was started for; nullptr in the parent process.
const char* ChildDataDir();

// Runs the test `testName` (Suite.Name) of this binary in a child process for
// `dataDir`; returns its exit status (-1 when it died on a signal) with its
// standard output and error in *out.
int RunInChild(const std::string& testName, const std::string& dataDir, std::string* out);

// FNV-1a of the render area's RGB pixels (1024 x 512, lower left): frames
// that differ anywhere hash apart.
uint64_t RenderAreaHash();

// Mean of R, G and B over the render area, 0 to 255.
double RenderAreaMean();
