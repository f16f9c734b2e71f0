// Writes the seed corpus of the fuzz targets: small valid files of every
// layout the readers know, into DIR/jpeg, DIR/pcx and DIR/3ds.
#include <filesystem>
#include <string>

#include "../assets/sample_files.h"

using namespace samples;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  for (const char* sub : {"jpeg", "pcx", "3ds"}) std::filesystem::create_directories(dir / sub);
  auto put = [&](const char* sub, const std::string& name, const Bytes& bytes) {
    if (!WriteFile((dir / sub / name).string(), bytes)) {
      std::fprintf(stderr, "cannot write %s/%s\n", sub, name.c_str());
      std::exit(1);
    }
  };

  Bytes rgb(8 * 8 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 29);
  put("jpeg", "rgb2x2.jpg", EncodeJpeg(2, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
  put("jpeg", "rgb8x8.jpg", EncodeJpeg(8, 8, 3, rgb, 75));
  put("jpeg", "progressive.jpg", EncodeJpeg(8, 8, 3, rgb, 75, true));
  put("jpeg", "grey.jpg", EncodeJpeg(4, 4, 1, Bytes(rgb.begin(), rgb.begin() + 16)));
  put("jpeg", "cmyk.jpg", EncodeJpeg(4, 2, 4, Bytes(rgb.begin(), rgb.begin() + 32)));

  Bytes palette(768);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>(i);
  put("pcx", "paletted.pcx", PalettedPcx(4, 3, {1, 1, 1, 1, 1, 1, 2, 2, 3, 4, 5, 200}, palette));
  put("pcx", "planar.pcx", PlanarPcx(8, 8, Bytes(rgb.begin(), rgb.begin() + 192)));
  Bytes run = PcxHeader(3, 0, 0, 1, 8);
  run.insert(run.end(), {0xC3, 0x07, 0x0C});
  run.insert(run.end(), palette.begin(), palette.end());
  put("pcx", "run.pcx", run);
  Bytes zero = PcxHeader(5, 0, 0, 3, 8, 3);
  zero.insert(zero.end(), {0xC0, 0x63, 1, 2, 3, 4, 0xCA, 0x50});
  put("pcx", "zero-count.pcx", zero);

  put("3ds", "scene.3ds", SampleScene());
  put("3ds", "quad.3ds", Main3ds(Editor(QuadMesh("Quad"))));
  put("3ds", "lights.3ds",
      Main3ds(Editor(Join({Camera("Camera01"), LightObject("Omni01", false),
                           LightObject("Light01", true), Material("Rock", "rock.jpg")}))));
  return 0;
}
