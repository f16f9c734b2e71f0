// The fixed GL names of the shared textures, 30 to 59: the loading sequence
// uploads each image under its name here and the modules bind them by it.
// Fixed numbers, not generated ones: the loading sequence generates 60 names
// first, so the names OpenGL hands out later never meet these.
#pragma once
#include <cstdint>

constexpr uint32_t kTextureBill = 30;            // bill1.jpg
constexpr uint32_t kTextureEnvironmentCube = 31; // cube map: black.jpg, env1gr.jpg on face 4
constexpr uint32_t kTextureValko = 32;           // valko.jpg
constexpr uint32_t kTextureMaasto = 33;          // maasto1.jpg
constexpr uint32_t kTextureDarkBeach = 34;       // darkbeach.jpg
constexpr uint32_t kTextureBlueBackground = 35;  // blubackg.jpg
constexpr uint32_t kTextureStars = 36;           // stars1c.jpg
constexpr uint32_t kTextureFirstCloud = 37;      // bill_cl1.jpg to bill_cl5.jpg: 37 to 41
constexpr int32_t kTextureClouds = 5;
constexpr uint32_t kTextureFirstNoiseBlob = 42;  // noiseblob1s.jpg to noiseblob10s.jpg: 42 to 51
constexpr int32_t kTextureNoiseBlobs = 10;
constexpr uint32_t kTextureLoadingPicture = 52;  // loadingVR1.jpg
constexpr uint32_t kTextureMaastoGlow = 53;      // maasto1glow.jpg
constexpr uint32_t kTextureEnvPuvi = 54;         // env1puvi.jpg
constexpr uint32_t kTextureMaasto2 = 55;         // maasto2.jpg
// With alpha from a PCX mask:
constexpr uint32_t kTextureLogoBright = 56;      // tro2b.jpg, tro_m2b.pcx
constexpr uint32_t kTextureLogoDark = 57;        // tro2n.jpg, tro_m2n.pcx
constexpr uint32_t kTextureGreetings = 58;       // greets1 (greets off the 1024 width)
constexpr uint32_t kTextureLogoMelt = 59;        // tromel.jpg, tromel.pcx
