// The scene model: a fixed-capacity list of triangle meshes read from .3ds
// files (or clones of them), the sizes and camera values the toolkit keeps
// between calls, and the single point light of a draw. Objects are addressed
// by index and live as long as their Scene.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "assets/pointer_array.h"
#include "core/camera_pose.h"
#include "core/math.h"

// One edge of a mesh for the shadow volumes: the faces that use it and its
// vertices as the first face lists them. awayFlag is used by silhouette copies.
struct EdgeRecord {
  int32_t firstFace;
  int32_t secondFace;
  int32_t faceUses;  // 1 or 2
  int32_t vertexA;
  int32_t vertexB;
  int32_t awayFlag;
};

// A point on the mesh (w = 1) or a direction to infinity (w = 0).
struct HomogeneousVertex {
  float x, y, z, w;
};

// How DrawObject textures an object (`renderMode`).
enum RenderMode : int32_t {
  kRenderUntextured = 0,
  kRenderTextured = 1,
  kRenderCubeEnvironment = 4,  // the cube map alone
  kRenderLitAddedPass = 5,     // lit texture, then the cube-map pass added
};

// How an object's pixels meet the frame (`blendMode`, ApplyBlendMode).
enum BlendMode : int32_t {
  kBlendNone = 0,
  kBlendAdditive = 1,       // one, one
  kBlendAlpha = 2,          // source alpha, one minus source alpha
  kBlendAlphaAdditive = 3,  // source alpha, one
};

struct SceneObject {
  SceneObject();  // the defaults of an object read from a file
  SceneObject(const SceneObject&) = delete;  // the source pointers point into it
  SceneObject& operator=(const SceneObject&) = delete;

  int32_t vertexCount = 0;
  int32_t faceCount = 0;
  float meshMatrix[16] = {};  // r0 r1 r2 t0 r3 r4 r5 t1 r6 r7 r8 t2 1 1 1 1 once read
  int32_t cameraTest = 0;
  int32_t baseBuffersReady = 0;

  // Geometry; a clone shares these arrays with its source.
  Vector4* vertices = nullptr;       // vertexCount, object space
  Vector4* vertexNormals = nullptr;  // vertexCount, unit (zero for unused vertices)
  Vector4* baseVertices = nullptr;   // vertexCount, snapshot the modules deform
  Vector4* baseNormals = nullptr;
  Vector4* worldVertices = nullptr;       // vertexCount, world space
  Vector4* worldVertexNormals = nullptr;  // vertexCount
  Vector4* worldFaceNormals = nullptr;    // faceCount
  PointerArray* vertexFaces = nullptr;    // vertexCount lists of face indices (see IndexAt)
  float* texU = nullptr;                  // vertexCount
  float* texV = nullptr;
  int32_t* faces = nullptr;           // 3 vertex indices a face, file order
  uint8_t* cornerFlags = nullptr;     // 6 a face, 3 used: 1 = use the corner normal
  Vector4* cornerNormals = nullptr;   // 6 a face, 3 used
  Vector4* faceNormals = nullptr;     // faceCount, not normalised
  Vector4* baseFaceNormals = nullptr; // faceCount, own per object

  // Edge list of the shadow volumes; counts are read through their sources so
  // a clone follows the counts of the object it shares with.
  EdgeRecord* edges = nullptr;
  int32_t edgeCount = 0;
  int32_t* edgeCountSource = nullptr;
  // Shadow buffers.
  EdgeRecord* silhouetteEdges = nullptr;  // edgeCount
  int32_t silhouetteCount = 0;
  int32_t* silhouetteCountSource = nullptr;
  HomogeneousVertex* volumeQuads = nullptr;  // 4 × edgeCount
  int32_t volumeQuadCount = 0;
  int32_t* volumeQuadCountSource = nullptr;
  HomogeneousVertex* capVertices = nullptr;  // 6 × faceCount
  int32_t capTriangleCount = 0;
  int32_t* capTriangleCountSource = nullptr;

  // Render settings.
  float baseColour[4] = {};
  float specularColour[4] = {};
  float ambientColour[4] = {};
  float baseAlpha = 1.0f;
  float overlayAlpha = 1.0f;
  float shininess = 1.0f;
  int32_t renderMode = 1;  // a RenderMode
  int32_t blendMode = 0;   // a BlendMode
  int32_t modulate = 1;
  int32_t sphereMap = 0;
  int32_t textureName = 0;
  float texOffsetU = 0.0f;
  float texOffsetV = 0.0f;
  int32_t cubeTextureName = 0;
  float lightW = 1.0f;
  float spotExponent = 0.0f;
  float attenuationConstant = 1.0f;
  float attenuationLinear = 0.0f;
  float attenuationQuadratic = 0.0f;
  int32_t extraPass = 1;  // 0 on clones
  char name[8] = {};      // not terminated when the name has 8 or more characters

  // Placement: position, scale and angles are copied from their sources before
  // each transform or draw, so several objects can follow one set of values.
  Vector3 scale{1.0f, 1.0f, 1.0f};
  Vector3* scaleSource;
  int32_t cullFaces = 1;
  Vector3 position;
  Vector3* positionSource;
  int32_t ownTransform = 1;  // 0: placed by meshMatrix
  Vector3 rotation;          // radians
  float* rotationSource[3];

  // Owners of the arrays above; shared with clones and objects that share
  // shadow data, so an array lives as long as anything refers to it.
  std::vector<std::shared_ptr<void>> storage;
};

// A zeroed (value-initialised) array of `count` T that lives as long as `owner`
// or anything that later shares it.
template <typename T>
T* AllocateArray(SceneObject& owner, size_t count) {
  T* data = new T[count]();
  owner.storage.emplace_back(data, std::default_delete<T[]>());
  return data;
}

struct Scene {
  Scene(int32_t capacity, int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
        int32_t targetHeight);
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  int32_t windowWidth, windowHeight;  // the full drawing area
  int32_t targetWidth, targetHeight;  // the reduced render-to-texture area
  int32_t objectCount = 0;
  int32_t capacity;  // hard limit on objectCount
  int32_t flipNormals = 0;
  float uvScale = 1.0f;
  float vertexScale = 1.0f;
  float fieldOfView = 75.0f;
  Vector3 cameraPosition;   // of the last perspective set-up
  Vector3 cameraDirection;
  std::vector<std::unique_ptr<SceneObject>> objects;  // capacity slots

  // Kept by the billboard code between calls.
  float billboardMatrix[16] = {};
  float viewMatrix[16] = {};
  int32_t billboardMode = 0;

  // Working state of the .3ds reader.
  FILE* file = nullptr;
  int32_t fileSize = 0;
  int32_t chunkPosition = 0;
  int32_t objectKind = 0;  // 0 mesh, 1 camera, 2 light, 3 omni light
};

// Appends a new object with the file defaults; null when the scene is full.
SceneObject* AppendObject(Scene& scene);

// Appends an object sharing the source's geometry and returns its index, or
// −1 when the scene is full or the source does not exist.
int32_t CloneObject(Scene& scene, int32_t source);

// The target follows whatever position, scale and angles the source follows.
void ShareTransform(Scene& scene, int32_t source, int32_t target);

// Gives the target the source's edge list; with allocate, also shadow and
// world-space buffers of its own where it has none. 0 when the source has no
// edge list (nothing changes).
int32_t ShareShadowData(Scene& scene, int32_t source, int32_t target, int32_t allocate);

// When the source has shadow buffers, the target uses the same shadow and
// world-space buffers (and counts).
void ShareShadowBuffers(Scene& scene, int32_t source, int32_t target);

struct Light {
  CameraPose* poseRef = nullptr;  // a pose the module reaches through the light
  Vector3 position;
  Vector3 colour;  // components usually 0..2
};

void SetLightColour(Light& light, float r, float g, float b);
