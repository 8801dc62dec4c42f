// The renderer's column kernels, shared by its drawing modes and by nothing
// outside src/render*.cpp: the records of a frame (View) and of what a ray
// met (Hit), textures ready for sampling, the runs that fill one column of a
// band with a floor, a ceiling or a wall (plain, SSE2 and AVX2), the copy of
// a chunk of staged columns to the target, and the caches of per-row floor
// and ceiling constants.
//
// Everything here is inline: each drawing mode compiles the runs into its
// own column loop. As functions called out of line, they cost one frame of
// the built-in world about 15% more instructions.
//
// Sections (grep for "// ==== "):
//   Records         View, Hit, Crossing, Texture, FlatRows, FlatCache(s), Band
//   Ray walk        walk_ray
//   Textures        texture_of, trunc_or_zero
//   Vector kernels  the SSE2 and AVX2 runs, best_simd, and the transposes
//                   that take staged columns to target rows
//   Runs            flat_run, wall_u, textured_run, wall_run, copy_out
//   Flat rows       reset_flat_caches, fill_flat_cache, flat_rows, ceiling_rows,
//                   floor_rows
#pragma once

#include <cmath>
#include <cstring>
// AVX2 kernels are chosen at run time. Not on Windows: gcc there cannot align
// the stack for spilled 32-byte vectors, which would fault.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define OM_RENDER_X86 1
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "map_view.h"
#include "object_player.h"
#include "ombrix.h"
#include "surface.h"
#include "types.h"
#include "world.h"

namespace render {

// ==== Records ==============================================================

const u32 kClosedPortalColor = 0xFFFF0000;
// Walls of an unknown edge type, broken portal links and unusable textures.
const u32 kUnknownWallColor = 0xFFFF00FF;
// Heights mode: what lies beyond the view distance, the portal-hop bound or
// any room.
const u32 kBackgroundColor = 0xFF000000;
const int kBandRows = 512;  // rows whose per-row constants live on the stack
const int kChunk = 16;      // columns drawn together: one cache line of a target row
// How much nearer than its entry point a ray may take the next edge after
// a portal hop: the shifted origin carries the rounding of the shift.
const f32 kEntrySlack = 1.0f / 1024.0f, kEntrySlackPerUnit = 1.0f / 65536.0f;

// What stays the same for every column of one frame.
struct View {
  const OM_World* world;
  const OM_WorldVertex* vertices;  // the world's, for the inner loops
  reg vertexCount;
  f32 camx, camy, camz, angle, viewDistance;
  f32 c, s;  // cosine and sine of the camera angle
  f32 projectionDistance;
  f32 subsequentRayAngle;
  int W, H, step;
  int w2, h2;
  int simd;      // renderer_simd, limited to what the processor has
  bool heights;  // heights_mode when the frame began
};

// The wall one column's ray met, and the sector it met it in. A walk that
// ends without a wall leaves edge null, z at the view distance (or at the
// last portal when the hop bound ran out) and sector the last room reached.
struct Hit {
  const OM_WorldSector* sector;  // where the walk ended
  const OM_WorldEdge* edge;
  f32 z, ix, iy;
  bool brokenLink;  // a portal whose target does not exist: drawn, not followed
};

// One portal a ray went through: the room before it, the room beyond, the
// portal's edge on the near side, where it was crossed and how far from the
// camera.
struct Crossing {
  const OM_WorldSector* from;
  const OM_WorldSector* to;
  const OM_WorldEdge* edge;
  f32 z, ix, iy;
};

enum WalkEnd { kWalkWall, kWalkNothing, kWalkHopBound };

// A texture ready for sampling; data is null when nothing usable is there.
struct Texture {
  const u32* data;
  int step, w, h;
  f32 fw, fh;
  bool pow2;  // sizes and step are powers of two: rem is a mask, the row a shift
  int shift;  // log2(step) when pow2
};

// Per-row constants of a floor or ceiling band, rows r0 .. r0 + kBandRows:
// zd, zd * s and camera x + zd * c.
struct FlatRows {
  f32 zd[kBandRows];
  f32 zds[kBandRows];
  f32 zdcx[kBandRows];
};

// The per-row constants of the floors (or the ceilings) at the heights drawn
// last. A world whose floors are all at one height fills one entry once per
// band; a view across rooms of a few heights keeps them all.
struct FlatCache {
  u32 heightBits;  // meaningless while the entry holds no rows
  int from, to;    // band rows from .. to are valid
  u32 used;        // when it was last asked for: the oldest entry goes first
  FlatRows rows;
};

// Heights mode asks for every room's own heights in one column; a view
// seldom reaches more rooms of different heights than this.
const int kFlatEntries = 6;

struct FlatCaches {
  FlatCache entries[kFlatEntries];
  int last;  // the entry used most recently
  u32 clock;
};

// The per-row constants of one band of rows, and the staging area in which a
// chunk of columns is drawn, column j at stage[j * kBandRows], before it goes
// to the target row by row.
struct Band {
  int r0, r1;
  FlatCaches ceilings, floors;
  u32 stage[kChunk * kBandRows];
};

// ==== Ray walk =============================================================

const int kMaxPortalHops = 64;  // no real world nests portals this deep

inline bool edge_usable(const View& v, const OM_WorldEdge* e) {
  return e->v1 < v.vertexCount && e->v2 < v.vertexCount;
}

// Whether edges e and f join the same two points, either way round.
inline bool same_segment(const View& v, const OM_WorldEdge* e, const OM_WorldEdge* f) {
  const OM_WorldVertex p = v.vertices[e->v1], q = v.vertices[e->v2];
  const OM_WorldVertex a = v.vertices[f->v1], b = v.vertices[f->v2];
  return (p.x == a.x && p.y == a.y && q.x == b.x && q.y == b.y) ||
         (p.x == b.x && p.y == b.y && q.x == a.x && q.y == a.y);
}

// Follows one ray from the camera through portals; onHop(const Crossing&)
// hears of every portal gone through. After a hop the ray is cast again
// from the moved origin, but it only goes on: an edge nearer the camera
// than where it came in (less a rounding slack) is behind it, and the edge
// it came in by, or one lying on it, would only send it back. In a room
// that is not convex, or one joined to itself around a pillar, the plain
// nearest edge would walk the ray back the way it came; in convex rooms
// nothing nearer than the entry exists, so the pick is the plain one.
template <class OnHop>
inline WalkEnd walk_ray(const View& v, f32 rayAngle, Hit* out, OnHop&& onHop) {
  f32 dirx = cosf(v.angle + rayAngle);
  f32 diry = sinf(v.angle + rayAngle);
  f32 ox = v.camx, oy = v.camy;
  const OM_WorldSector* sector = player->sector;
  const OM_WorldEdge* skip = nullptr;
  f32 nearest = -INFINITY;  // no edge nearer than this is taken
  for (int hops = 0;; ++hops) {
    f32 ex = ox + v.viewDistance * dirx;
    f32 ey = oy + v.viewDistance * diry;
    f32 sAx = ex - ox, sAy = ey - oy;
    f32 z = v.viewDistance;
    const OM_WorldEdge* hit = nullptr;
    f32 hx = 0, hy = 0;
    const OM_WorldEdge* edges = sector_edge(sector, 0);
    reg count = sector_edge_count(sector);
    const OM_WorldVertex* vertices = v.vertices;
    const reg vertexCount = v.vertexCount;
    for (reg i = 0; i < count; ++i) {
      const OM_WorldEdge* e = edges + i;
      if (e == skip || e->v1 >= vertexCount || e->v2 >= vertexCount) continue;
      const OM_WorldVertex p = vertices[e->v1];
      const OM_WorldVertex q = vertices[e->v2];
      // OM_LineIntersect and OM_LineLength, term for term.
      f32 sBx = q.x - p.x, sBy = q.y - p.y;
      f32 dx = ox - p.x, dy = oy - p.y;
      f32 D = -sBx * sAy + sAx * sBy;
      f32 sb = (-sAy * dx + sAx * dy) / D;
      f32 ta = (sBx * dy - sBy * dx) / D;
      if (!(sb >= 0 && sb <= 1 && ta >= 0 && ta <= 1)) continue;
      f32 ix = ox + ta * sAx, iy = oy + ta * sAy;
      f32 lx = ox - ix, ly = oy - iy;
      f32 d = sqrtf(lx * lx + ly * ly);
      if (d < z && d >= nearest) {
        if (skip && same_segment(v, e, skip)) continue;
        z = d;
        hit = e;
        hx = ix;
        hy = iy;
      }
    }
    if (!hit) {
      *out = {sector, nullptr, v.viewDistance, ex, ey, false};
      return kWalkNothing;
    }
    *out = {sector, hit, z, hx, hy, false};
    if (hit->type != OM_EDGE_PORTAL || draw_portals == 0) return kWalkWall;
    const OM_WorldSector* next = world_sector(v.world, hit->portal_sector);
    const OM_WorldEdge* entry = sector_edge(next, hit->portal_edge);
    if (!entry || !edge_usable(v, entry)) {
      out->brokenLink = true;
      return kWalkWall;
    }
    if (hops == kMaxPortalHops) {
      out->edge = nullptr;
      return kWalkHopBound;
    }
    onHop(Crossing{sector, next, hit, z, hx, hy});
    f32 shiftx, shifty;
    portal_shift(v.vertices[hit->v1], v.vertices[hit->v2], v.vertices[entry->v1],
                 v.vertices[entry->v2], &shiftx, &shifty);
    ox = ox + shiftx;
    oy = oy + shifty;
    sector = next;
    skip = entry;
    nearest = z - (kEntrySlack + z * kEntrySlackPerUnit);
  }
}

// ==== Textures =============================================================

const f32 kIntLimit = 2147483648.0f;

// The surface's texels, or the fallback texture's for a null one.
inline Texture texture_of(const OM_Surface* t) {
  Texture r = {};
  if (!t) t = dummyTexture;
  if (!t || !t->data || t->w <= 0 || t->h <= 0) return r;
  r.data = t->data;
  r.step = t->step;
  r.w = t->w;
  r.h = t->h;
  r.fw = static_cast<f32>(t->w);
  r.fh = static_cast<f32>(t->h);
  r.pow2 = (t->w & (t->w - 1)) == 0 && (t->h & (t->h - 1)) == 0 && t->step > 0 &&
           (t->step & (t->step - 1)) == 0;
  if (r.pow2) r.shift = __builtin_ctz(static_cast<unsigned>(t->step));
  return r;
}

// Truncation toward zero for the texture coordinates: a value that has no
// int truncation (NaN, infinite, beyond 2^31) samples coordinate 0.
inline int trunc_or_zero(f32 a) { return static_cast<int>(fabsf(a) < kIntLimit ? a : 0.0f); }

// ==== Vector kernels =======================================================

// The vector kernels below compute the same f32 operations as the plain loops
// for textures whose sizes and step are powers of two. Their conversions turn
// NaN and out-of-range values into 0x80000000, which a power-of-two size minus
// one masks to 0: the coordinate that trunc_or_zero gives, with no select.
#if defined(__SSE2__)
inline void gather4(u32* out, const u32* texels, __m128i idx) {
  alignas(16) int k[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(k), idx);
  out[0] = texels[k[0]];
  out[1] = texels[k[1]];
  out[2] = texels[k[2]];
  out[3] = texels[k[3]];
}

inline int flat_run_sse2(const View& v, u32* out, int a, int b, const FlatRows& rows, f32 xc,
                         const Texture& tex) {
  const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 vxc = _mm_set1_ps(xc), vc = _mm_set1_ps(v.c), vs = _mm_set1_ps(v.s);
  const __m128 vcamy = _mm_set1_ps(v.camy), vfw = _mm_set1_ps(tex.fw), vfh = _mm_set1_ps(tex.fh);
  const __m128i wm = _mm_set1_epi32(tex.w - 1), hm = _mm_set1_epi32(tex.h - 1);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  int i = a;
  for (; i + 4 <= b; i += 4) {
    __m128 xd = _mm_mul_ps(vxc, _mm_loadu_ps(rows.zd + i));
    __m128 wy = _mm_add_ps(_mm_add_ps(vcamy, _mm_mul_ps(xd, vc)), _mm_loadu_ps(rows.zds + i));
    __m128 wx = _mm_sub_ps(_mm_loadu_ps(rows.zdcx + i), _mm_mul_ps(xd, vs));
    __m128i u = _mm_and_si128(_mm_cvttps_epi32(_mm_and_ps(_mm_mul_ps(vfw, wy), absMask)), wm);
    __m128i t = _mm_and_si128(_mm_cvttps_epi32(_mm_and_ps(_mm_mul_ps(vfh, wx), absMask)), hm);
    gather4(out + i, tex.data, _mm_add_epi32(u, _mm_sll_epi32(t, sh)));
  }
  return i;
}

// The caller keeps |row sum| below 2^23, where truncation and floor are exact.
inline int wall_run_sse2(u32* out, int a, int b, int base, f32 ceil, f32 wallHeight, int u,
                         const Texture& tex) {
  const __m128 vceil = _mm_set1_ps(ceil), vfh = _mm_set1_ps(tex.fh);
  const __m128 vwh = _mm_set1_ps(wallHeight);
  const __m128i hm = _mm_set1_epi32(tex.h - 1), vu = _mm_set1_epi32(u);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift), four = _mm_set1_epi32(4);
  __m128i y = _mm_setr_epi32(base + a, base + a + 1, base + a + 2, base + a + 3);
  int i = a;
  for (; i + 4 <= b; i += 4) {
    __m128 sum = _mm_add_ps(_mm_cvtepi32_ps(y), vceil);
    __m128i row = _mm_cvttps_epi32(sum);
    row = _mm_add_epi32(row, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(row), sum)));
    __m128 q = _mm_div_ps(_mm_mul_ps(_mm_cvtepi32_ps(row), vfh), vwh);
    __m128i t = _mm_cvttps_epi32(q);
    __m128i sign = _mm_srai_epi32(t, 31);
    t = _mm_sub_epi32(_mm_xor_si128(t, sign), sign);
    gather4(out + i, tex.data, _mm_add_epi32(vu, _mm_sll_epi32(_mm_and_si128(t, hm), sh)));
    y = _mm_add_epi32(y, four);
  }
  return i;
}
#endif

#if defined(OM_RENDER_X86)
__attribute__((target("avx2"))) inline int flat_run_avx2(const View& v, u32* out, int a, int b,
                                                         const FlatRows& rows, f32 xc,
                                                         const Texture& tex) {
  const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  const __m256 vxc = _mm256_set1_ps(xc), vc = _mm256_set1_ps(v.c), vs = _mm256_set1_ps(v.s);
  const __m256 vcamy = _mm256_set1_ps(v.camy), vfw = _mm256_set1_ps(tex.fw);
  const __m256 vfh = _mm256_set1_ps(tex.fh);
  const __m256i wm = _mm256_set1_epi32(tex.w - 1), hm = _mm256_set1_epi32(tex.h - 1);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  const int* texels = reinterpret_cast<const int*>(tex.data);
  int i = a;
  for (; i + 8 <= b; i += 8) {
    __m256 xd = _mm256_mul_ps(vxc, _mm256_loadu_ps(rows.zd + i));
    __m256 wy =
        _mm256_add_ps(_mm256_add_ps(vcamy, _mm256_mul_ps(xd, vc)), _mm256_loadu_ps(rows.zds + i));
    __m256 wx = _mm256_sub_ps(_mm256_loadu_ps(rows.zdcx + i), _mm256_mul_ps(xd, vs));
    __m256i u =
        _mm256_and_si256(_mm256_cvttps_epi32(_mm256_and_ps(_mm256_mul_ps(vfw, wy), absMask)), wm);
    __m256i t =
        _mm256_and_si256(_mm256_cvttps_epi32(_mm256_and_ps(_mm256_mul_ps(vfh, wx), absMask)), hm);
    __m256i idx = _mm256_add_epi32(u, _mm256_sll_epi32(t, sh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(texels, idx, 4));
  }
  return i;
}

__attribute__((target("avx2"))) inline int wall_run_avx2(u32* out, int a, int b, int base, f32 ceil,
                                                         f32 wallHeight, int u,
                                                         const Texture& tex) {
  const __m256 vceil = _mm256_set1_ps(ceil), vfh = _mm256_set1_ps(tex.fh);
  const __m256 vwh = _mm256_set1_ps(wallHeight);
  const __m256i hm = _mm256_set1_epi32(tex.h - 1), vu = _mm256_set1_epi32(u);
  const __m128i sh = _mm_cvtsi32_si128(tex.shift);
  const __m256i eight = _mm256_set1_epi32(8);
  const int* texels = reinterpret_cast<const int*>(tex.data);
  __m256i y =
      _mm256_add_epi32(_mm256_set1_epi32(base + a), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  int i = a;
  for (; i + 8 <= b; i += 8) {
    __m256 sum = _mm256_add_ps(_mm256_cvtepi32_ps(y), vceil);
    __m256i row = _mm256_cvttps_epi32(sum);
    __m256 above = _mm256_cmp_ps(_mm256_cvtepi32_ps(row), sum, _CMP_GT_OQ);
    row = _mm256_add_epi32(row, _mm256_castps_si256(above));
    __m256 q = _mm256_div_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(row), vfh), vwh);
    __m256i t = _mm256_abs_epi32(_mm256_cvttps_epi32(q));
    __m256i idx = _mm256_add_epi32(vu, _mm256_sll_epi32(_mm256_and_si256(t, hm), sh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(texels, idx, 4));
    y = _mm256_add_epi32(y, eight);
  }
  return i;
}

inline int best_simd() {
  static int best = -1;
  if (best < 0) {
    __builtin_cpu_init();
    best = __builtin_cpu_supports("avx2") ? 2 : 1;
  }
  return best;
}
#elif defined(__SSE2__)
inline int best_simd() { return 1; }
#else
inline int best_simd() { return 0; }
#endif

#if defined(__SSE2__)
// Four staged columns, rows y .. y + 3 of the band, as four target rows.
inline void transpose4(const u32* src, __m128i* rows) {
  __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + kBandRows));
  __m128i c2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * kBandRows));
  __m128i c3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * kBandRows));
  __m128i lo01 = _mm_unpacklo_epi32(c0, c1), lo23 = _mm_unpacklo_epi32(c2, c3);
  __m128i hi01 = _mm_unpackhi_epi32(c0, c1), hi23 = _mm_unpackhi_epi32(c2, c3);
  rows[0] = _mm_unpacklo_epi64(lo01, lo23);
  rows[1] = _mm_unpackhi_epi64(lo01, lo23);
  rows[2] = _mm_unpacklo_epi64(hi01, hi23);
  rows[3] = _mm_unpackhi_epi64(hi01, hi23);
}

// Four new pixels into every other pixel of out[0 .. 8], starting at
// out[parity]; the pixels between them are read and written back unchanged.
inline void interleave_store(u32* out, __m128i fresh, int parity) {
  __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out)));
  __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out + 4)));
  __m128i lo, hi;
  if (parity == 0) {
    __m128i odd = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    lo = _mm_unpacklo_epi32(fresh, odd);
    hi = _mm_unpackhi_epi32(fresh, odd);
  } else {
    __m128i even = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    lo = _mm_unpacklo_epi32(even, fresh);
    hi = _mm_unpackhi_epi32(even, fresh);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lo);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), hi);
}
#endif

#if defined(OM_RENDER_X86)
// Rows y .. of a whole interlaced chunk whose 2 * kChunk target columns start
// at `span`, four rows at a time: each fresh pixel is doubled into a pair and
// one blend keeps the other parity's pixel of it. Gives the first row left.
template <int kParity>
__attribute__((target("avx2"))) inline int copy_interlaced_avx2(u32* pixels, const Band& band,
                                                                int step, int span, int y) {
  const __m256i pairs = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
  for (; y + 4 <= band.r1; y += 4) {
    u32* row = pixels + step * y + span;
    for (int j = 0; j < kChunk; j += 4) {
      __m128i rows[4];
      transpose4(band.stage + j * kBandRows + (y - band.r0), rows);
      for (int k = 0; k < 4; ++k) {
        __m256i* at = reinterpret_cast<__m256i*>(row + k * step + 2 * j);
        __m256i fresh = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(rows[k]), pairs);
        __m256i kept = _mm256_loadu_si256(at);
        _mm256_storeu_si256(at, _mm256_blend_epi32(kept, fresh, kParity ? 0xAA : 0x55));
      }
    }
  }
  return y;
}
#endif

// ==== Runs =================================================================

// Band rows a .. b of one column of floor or ceiling, into out[a .. b].
inline void flat_run(const View& v, u32* out, int a, int b, const FlatRows& rows, f32 xc,
                     const Texture& tex) {
  if (a >= b) return;
  if (!tex.data) {
    for (int i = a; i < b; ++i) out[i] = kUnknownWallColor;
    return;
  }
  if (tex.pow2) {
#if defined(OM_RENDER_X86)
    if (v.simd >= 2) a = flat_run_avx2(v, out, a, b, rows, xc, tex);
#endif
#if defined(__SSE2__)
    if (v.simd >= 1) a = flat_run_sse2(v, out, a, b, rows, xc, tex);
#endif
  }
  for (int i = a; i < b; ++i) {
    f32 xd = xc * rows.zd[i];
    f32 wy = v.camy + xd * v.c + rows.zds[i];
    f32 wx = rows.zdcx[i] - xd * v.s;
    int u = trunc_or_zero(fabsf(tex.fw * wy)) % tex.w;
    int t = trunc_or_zero(fabsf(tex.fh * wx)) % tex.h;
    out[i] = tex.data[u + t * tex.step];
  }
}

// The texture column of edge e where a ray met it at (ix, iy): one copy
// spans the edge along its longer whole-unit axis.
inline int wall_u(const View& v, const OM_WorldEdge* e, f32 ix, f32 iy, const Texture& tex) {
  const OM_WorldVertex p = v.vertices[e->v1], q = v.vertices[e->v2];
  f32 dx = q.x - p.x, dy = q.y - p.y;
  int u;
  if (truncf(fabsf(dx)) > truncf(fabsf(dy)) || dy == 0.0f) {
    u = trunc_or_zero(tex.fw * (ix - p.x) / dx) % tex.w;
  } else {
    u = trunc_or_zero(tex.fw * (iy - p.y) / dy) % tex.w;
  }
  return u < 0 ? u + tex.w : u;
}

// Band rows a .. b of texture column u of a wall face, into out[a .. b]; the
// face's texture rows count from screen row h2 - ceil, one copy per unit of
// height, so they stay fixed to the face wherever the eye is.
inline void textured_run(const View& v, u32* out, int a, int b, int r0, const Texture& tex, int u,
                         f32 ceil, f32 wallHeight) {
  int base = r0 - v.h2;
  const int kSmall = 4194304;  // 2^22: every row sum stays below 2^23
  if (tex.pow2 && fabsf(ceil) < static_cast<f32>(kSmall) && base + a > -kSmall &&
      base + b < kSmall) {
#if defined(OM_RENDER_X86)
    if (v.simd >= 2) a = wall_run_avx2(out, a, b, base, ceil, wallHeight, u, tex);
#endif
#if defined(__SSE2__)
    if (v.simd >= 1) a = wall_run_sse2(out, a, b, base, ceil, wallHeight, u, tex);
#endif
  }
  for (int i = a; i < b; ++i) {
    f32 row = floorf(static_cast<f32>(base + i) + ceil);
    int t = trunc_or_zero(row * tex.fh / wallHeight) % tex.h;
    out[i] = tex.data[u + (t < 0 ? -t : t) * tex.step];
  }
}

inline void fill_run(u32* out, int a, int b, u32 color) {
  for (int i = a; i < b; ++i) out[i] = color;
}

// Band rows a .. b of the wall span of one column, into out[a .. b].
inline void wall_run(const View& v, u32* out, int a, int b, int r0, const Hit& hit, f32 ceil,
                     f32 wallHeight) {
  if (a >= b) return;
  u32 color = kUnknownWallColor;
  if (!hit.brokenLink) {
    if (hit.edge->type == OM_EDGE_COLOR) color = hit.edge->color;
    if (hit.edge->type == OM_EDGE_PORTAL) color = kClosedPortalColor;
  }
  Texture tex = {};
  if (!hit.brokenLink && hit.edge->type == OM_EDGE_TEXTURE) tex = texture_of(hit.edge->texture);
  if (!tex.data) {
    fill_run(out, a, b, color);
    return;
  }
  int u = wall_u(v, hit.edge, hit.ix, hit.iy, tex);
  textured_run(v, out, a, b, r0, tex, u, ceil, wallHeight);
}

// Rows r0 .. r1 of `count` staged columns into the target: column j goes to
// target column xs[j]. `stride` is 1 or 2 when the chunk is whole, every one
// of its kChunk columns drawn and xs[j] == xs[0] + stride * j; 0 otherwise.
inline void copy_out(const View& v, u32* pixels, const Band& band, const int* xs, int count,
                     int stride) {
  // Locals: the stores below go through u32 pointers, which the compiler
  // must otherwise assume may change the records' fields.
  const int r0 = band.r0, r1 = band.r1, step = v.step;
  int y = r0;
#if defined(__SSE2__)
  // Interlaced chunks interleave with the columns of the other parity, kept
  // by reading them back: the whole span of 2 * kChunk target columns,
  // from the even column at or before the first, must lie inside the target.
  int parity = xs[0] & 1, span = xs[0] - parity;
  if (v.simd >= 1 && stride == 2 && span + 2 * kChunk <= v.W) {
#if defined(OM_RENDER_X86)
    if (v.simd >= 2) {
      y = parity ? copy_interlaced_avx2<1>(pixels, band, step, span, y)
                 : copy_interlaced_avx2<0>(pixels, band, step, span, y);
    }
#endif
    for (; y + 4 <= r1; y += 4) {
      u32* row = pixels + step * y + span;
      for (int j = 0; j < kChunk; j += 4) {
        __m128i rows[4];
        transpose4(band.stage + j * kBandRows + (y - r0), rows);
        for (int k = 0; k < 4; ++k) interleave_store(row + k * step + 2 * j, rows[k], parity);
      }
    }
  }
  if (v.simd >= 1 && stride == 1) {
    for (; y + 4 <= r1; y += 4) {
      u32* row = pixels + step * y + xs[0];
      for (int j = 0; j < kChunk; j += 4) {
        __m128i rows[4];
        transpose4(band.stage + j * kBandRows + (y - r0), rows);
        for (int k = 0; k < 4; ++k) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k * step + j), rows[k]);
        }
      }
    }
  }
#else
  (void)stride;
#endif
  for (; y < r1; ++y) {
    u32* row = pixels + step * y;
    const u32* src = band.stage + (y - r0);
    for (int j = 0; j < count; ++j) row[xs[j]] = src[j * kBandRows];
  }
}

// ==== Flat rows ============================================================

// Band rows from .. to of a band that starts at target row r0.
inline void fill_flat_rows(const View& v, int r0, f32 numerator, int from, int to, FlatRows* rows) {
  f32 fH = static_cast<f32>(v.H);
  for (int i = from; i < to; ++i) {
    f32 yd = static_cast<f32>(r0 + i - v.h2) / fH;
    f32 zd = numerator / yd;
    rows->zd[i] = zd;
    rows->zds[i] = zd * v.s;
    rows->zdcx[i] = v.camx + zd * v.c;
  }
}

inline u32 float_bits(f32 f) {
  u32 b;
  memcpy(&b, &f, sizeof b);
  return b;
}

// Empties both caches of the band: no rows are set up before a column of
// this call asks for them.
inline void reset_flat_caches(Band* band) {
  band->ceilings.last = band->floors.last = 0;
  band->ceilings.clock = band->floors.clock = 0;
  // Empty entries, at the end from which their rows grow: no request fits.
  for (int i = 0; i < kFlatEntries; ++i) {
    band->ceilings.entries[i].heightBits = band->floors.entries[i].heightBits = 0;
    band->ceilings.entries[i].used = band->floors.entries[i].used = 0;
    band->ceilings.entries[i].from = band->ceilings.entries[i].to = 0;
    band->floors.entries[i].from = band->floors.entries[i].to = band->r1 - band->r0;
  }
}

// The per-row constants of a floor or ceiling at this height, valid at least
// for band rows from .. to. What an entry holds stays one run of rows: a
// request beside it fills the gap too.
inline const FlatRows& fill_flat_cache(const View& v, int r0, FlatCaches* caches, f32 height,
                                       int from, int to) {
  u32 bits = float_bits(height);
  int k = -1;
  for (int i = 0; i < kFlatEntries; ++i) {
    if (caches->entries[i].heightBits == bits) k = i;
  }
  if (k < 0) {
    k = 0;
    for (int i = 1; i < kFlatEntries; ++i) {
      if (caches->entries[i].used < caches->entries[k].used) k = i;
    }
    caches->entries[k].heightBits = bits;
    caches->entries[k].to = caches->entries[k].from;
  }
  caches->last = k;
  FlatCache& cache = caches->entries[k];
  cache.used = ++caches->clock;
  // Empty (just taken over, or unused so far in this band): start where asked.
  if (cache.from >= cache.to) cache.from = cache.to = from;
  f32 numerator = v.camz - height;
  if (from < cache.from) {
    fill_flat_rows(v, r0, numerator, from, cache.from, &cache.rows);
    cache.from = from;
  }
  if (to > cache.to) {
    fill_flat_rows(v, r0, numerator, cache.to, to, &cache.rows);
    cache.to = to;
  }
  return cache.rows;
}

// Band rows from .. to of a floor or ceiling at this height, seen from the
// eye: the entry used last, when it holds them.
inline const FlatRows& flat_rows(const View& v, Band* band, FlatCaches* caches, f32 height,
                                 int from, int to) {
  const FlatCache& last = caches->entries[caches->last];
  if (last.heightBits == float_bits(height) && from >= last.from && to <= last.to) {
    return last.rows;
  }
  return fill_flat_cache(v, band->r0, caches, height, from, to);
}

// Most columns ask for rows that the entry used last already holds: the
// ceiling's from the top down to band row `to`, the floor's from band row
// `from` to the bottom.
inline const FlatRows& ceiling_rows(const View& v, Band* band, f32 height, int to) {
  const FlatCache& last = band->ceilings.entries[band->ceilings.last];
  if (last.heightBits == float_bits(height) && to <= last.to) return last.rows;
  return fill_flat_cache(v, band->r0, &band->ceilings, height, 0, to);
}

inline const FlatRows& floor_rows(const View& v, Band* band, f32 height, int from) {
  const FlatCache& last = band->floors.entries[band->floors.last];
  if (last.heightBits == float_bits(height) && from >= last.from) return last.rows;
  return fill_flat_cache(v, band->r0, &band->floors, height, from, band->r1 - band->r0);
}

// Heights mode's column x into the band's rows of out: every row written
// (render_heights.cpp).
bool draw_column_heights(const View& v, Band* band, int x, u32* out);

}  // namespace render
