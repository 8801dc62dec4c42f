// The camera: a viewpoint that follows the object it is attached to.
#pragma once

#include "object.h"

struct Camera {
  GameObject object;
  f32 fov;            // horizontal field of view, radians
  f32 view_distance;  // length of every view ray
  GameObject* attached_to;
};

typedef Camera OM_Camera;
