#!/usr/bin/env python3
"""Writes the sample demo's two ASE scenes in the line shapes of the
3D Studio MAX ASCII exporter (tabs, four decimals, right-aligned indices):

  ship.ase    a faceted space ship (hull and wings with a diffuse and a
              reflection map, glowing engines) inside a transparent,
              reflecting shield bubble
  beacon.ase  a glowing crystal with an additive glow card behind it, far
              down -z; the card faces +z and is drawn last, so the normal
              and material it leaves behind light the tunnel drawn after it

It also writes the large scene the benchmarks read: rippled terrain tiles
side by side, each a grid of about N vertices (two triangles per cell, one
texture vertex per vertex, smooth corner normals), as many tiles as it
takes to pass the given size, under a list of textured materials.

Usage: make_scenes.py OUTDIR   (writes OUTDIR/ship.ase and OUTDIR/beacon.ase)
       make_scenes.py --big FILE [--target-mb MIB | --objects N] [--verts-per-object N] [--crlf]
                      (defaults: 100 MiB, 20000 vertices per object, LF line
                      ends; --objects writes exactly that many tiles, --crlf
                      ends the lines as Windows exporters do)
Coordinates are the player's own (y up, the ship's nose towards +x); the
reader ignores the node transforms, so the vertices are where they are drawn.
Standard library only.
"""
import math
import os
import sys

TEXTURES = "data\\textures\\"
COMMENT_DATE = "Mon Dec 07 12:00:00 2026"


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalize(v):
    n = math.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) or 1.0
    return (v[0] / n, v[1] / n, v[2] / n)


class Mesh:
    """Vertices, triangles, texture vertices and per-corner normals."""

    def __init__(self, name, material):
        self.name = name
        self.material = material
        self.verts = []
        self.tverts = []
        self.faces = []        # (a, b, c) into verts
        self.tfaces = []       # (a, b, c) into tverts
        self.normals = []      # one (n_a, n_b, n_c) per face

    def vertex(self, p, uv):
        self.verts.append(p)
        self.tverts.append((uv[0], uv[1], 0.0))
        return len(self.verts) - 1

    def face(self, a, b, c, normals=None):
        """A triangle; without explicit corner normals it is drawn flat."""
        self.faces.append((a, b, c))
        self.tfaces.append((a, b, c))
        if normals is None:
            n = self.face_normal(len(self.faces) - 1)
            normals = (n, n, n)
        self.normals.append(normals)

    def face_normal(self, k):
        a, b, c = (self.verts[i] for i in self.faces[k])
        return normalize(cross(sub(b, a), sub(c, a)))

    def flat_quad(self, p, uv):
        """Two flat triangles p0 p1 p2, p0 p2 p3 with their own corners."""
        idx = [self.vertex(p[i], uv[i]) for i in range(4)]
        self.face(idx[0], idx[1], idx[2])
        self.face(idx[0], idx[2], idx[3])


def f4(x):
    return "%.4f" % (0.0 if abs(x) < 0.00005 else x)


def triple(v):
    return "\t".join(f4(x) for x in v)


# ---------------------------------------------------------------- geometry

def loft(mesh, sections, sides, u_scale, v_of_x):
    """A faceted body of revolution along x: sections are (x, radius_y,
    radius_z); each facet gets its own corners so that it shades flat."""
    rings = []
    for x, ry, rz in sections:
        ring = []
        for i in range(sides + 1):
            a = 2 * math.pi * i / sides
            ring.append((x, ry * math.sin(a), rz * math.cos(a)))
        rings.append(ring)
    for s in range(len(sections) - 1):
        for i in range(sides):
            p = [rings[s][i], rings[s + 1][i], rings[s + 1][i + 1], rings[s][i + 1]]
            uv = [(u_scale * i / sides, v_of_x(p[0][0])), (u_scale * i / sides, v_of_x(p[1][0])),
                  (u_scale * (i + 1) / sides, v_of_x(p[1][0])), (u_scale * (i + 1) / sides, v_of_x(p[0][0]))]
            if p[1] == p[2]:        # the nose: a single triangle
                idx = [mesh.vertex(p[k], uv[k]) for k in (0, 1, 3)]
                mesh.face(*idx)
            else:
                mesh.flat_quad(p, uv)
    # Close the tail with a fan.
    x0 = sections[0][0]
    for i in range(sides):
        a = mesh.vertex((x0, 0.0, 0.0), (0.5, 0.02))
        b = mesh.vertex(rings[0][i + 1], (0.5 + 0.1 * math.cos(i), 0.0))
        c = mesh.vertex(rings[0][i], (0.5 + 0.1 * math.sin(i), 0.0))
        mesh.face(a, c, b)


def slab(mesh, outline, y, thickness, uv_of):
    """A flat plate with the given xz outline (convex, counter-clockwise seen
    from above), its top, bottom and rim faces."""
    top = [(x, y + thickness, z) for x, z in outline]
    bottom = [(x, y - thickness, z) for x, z in outline]
    n = len(outline)
    for k in range(1, n - 1):
        for ring, order in ((top, (0, k + 1, k)), (bottom, (0, k, k + 1))):
            idx = [mesh.vertex(ring[j], uv_of(ring[j])) for j in order]
            mesh.face(*idx)
    for k in range(n):
        j = (k + 1) % n
        mesh.flat_quad([bottom[k], top[k], top[j], bottom[j]],
                       [uv_of(bottom[k]), (uv_of(bottom[k])[0], 0.52), (uv_of(bottom[j])[0], 0.52), uv_of(bottom[j])])


def ship_hull():
    hull = Mesh("Hull", 0)
    sections = [(-4.0, 0.45, 0.55), (-3.5, 0.7, 0.85), (-2.0, 0.85, 1.0), (0.0, 0.8, 0.95),
                (1.8, 0.62, 0.7), (3.2, 0.3, 0.35), (4.4, 0.0, 0.0)]
    loft(hull, sections, 8, 2.0, lambda x: (x + 4.0) / 8.4)
    return hull


def ship_wings():
    wings = Mesh("Wings", 0)
    uv = lambda p: ((p[0] + 4.0) / 6.0, 0.5 + p[2] / 8.0)
    for side in (1, -1):
        outline = [(-2.6, 0.8 * side), (1.0, 0.8 * side), (-2.2, 3.8 * side), (-3.3, 3.8 * side)]
        if side < 0:
            outline.reverse()
        slab(wings, outline, -0.1, 0.07, uv)
    # The tail fin stands upright: its outline lies in the xy plane.
    fin = [(-4.0, 0.3), (-2.4, 0.3), (-3.6, 1.9), (-4.2, 1.9)]
    for side, z in ((1, 0.06), (-1, -0.06)):
        pts = [(x, y, z) for x, y in fin]
        order = [0, 1, 2, 3] if side > 0 else [3, 2, 1, 0]
        wings.flat_quad([pts[i] for i in order], [((pts[i][0] + 4.2) / 2, pts[i][1] / 2) for i in order])
    return wings


def ship_engines():
    engines = Mesh("Engines", 2)
    for z in (1.35, -1.35):
        ring = [(-4.5, 0.32, 0.32), (-4.3, 0.42, 0.42), (-2.4, 0.38, 0.38), (-1.8, 0.0, 0.0)]
        start = len(engines.faces)
        loft(engines, ring, 6, 1.0, lambda x: (x + 4.5) / 2.7)
        # Move this nacelle out to its side.
        used = set()
        for k in range(start, len(engines.faces)):
            used.update(engines.faces[k])
        for i in used:
            x, y, zz = engines.verts[i]
            engines.verts[i] = (x, y - 0.15, zz + z)
    return engines


def shield():
    bubble = Mesh("Shield", 1)
    rx, ry, rz = 5.4, 2.6, 4.6
    stacks, slices = 12, 20
    grid = {}
    for i in range(stacks + 1):
        phi = math.pi * i / stacks - math.pi / 2
        for j in range(slices + 1):
            theta = 2 * math.pi * j / slices
            p = (rx * math.cos(phi) * math.cos(theta), ry * math.sin(phi), rz * math.cos(phi) * math.sin(theta))
            n = normalize((p[0] / (rx * rx), p[1] / (ry * ry), p[2] / (rz * rz)))
            grid[i, j] = (bubble.vertex(p, (j / slices, i / stacks)), n)
    for i in range(stacks):
        for j in range(slices):
            a, b, c, d = grid[i, j], grid[i + 1, j], grid[i + 1, j + 1], grid[i, j + 1]
            # The first and the last stack meet at a pole: one triangle each.
            if i < stacks - 1:
                bubble.face(a[0], b[0], c[0], (a[1], b[1], c[1]))
            if i > 0:
                bubble.face(a[0], c[0], d[0], (a[1], c[1], d[1]))
    return bubble


def beacon_crystal(z):
    crystal = Mesh("Crystal", 0)
    sides, radius, height = 8, 1.1, 2.2
    ring = [(radius * math.cos(2 * math.pi * i / sides), 0.0, z + radius * math.sin(2 * math.pi * i / sides))
            for i in range(sides + 1)]
    for tip in ((0.0, height, z), (0.0, -height, z)):
        for i in range(sides):
            u0, u1 = i / sides, (i + 1) / sides
            a = crystal.vertex(tip, ((u0 + u1) / 2, 1.0 if tip[1] > 0 else 0.0))
            b = crystal.vertex(ring[i], (u0, 0.5))
            c = crystal.vertex(ring[i + 1], (u1, 0.5))
            if tip[1] > 0:
                crystal.face(a, c, b)
            else:
                crystal.face(a, b, c)
    return crystal


def beacon_halo(z):
    """A square glow card behind the crystal, facing the viewer (+z)."""
    halo = Mesh("Halo", 1)
    s = 3.2
    halo.flat_quad([(-s, -s, z), (s, -s, z), (s, s, z), (-s, s, z)], [(0, 0), (1, 0), (1, 1), (0, 1)])
    return halo


# ----------------------------------------------------------------- writing

def map_block(kind, name, subno, amount, bitmap, map_type):
    lines = ["\t\t*MAP_%s {" % kind,
             '\t\t\t*MAP_NAME "%s"' % name,
             '\t\t\t*MAP_CLASS "Bitmap"',
             "\t\t\t*MAP_SUBNO %d" % subno,
             "\t\t\t*MAP_AMOUNT %s" % f4(amount),
             '\t\t\t*BITMAP "%s"' % bitmap,
             "\t\t\t*MAP_TYPE %s" % map_type,
             "\t\t\t*UVW_U_OFFSET 0.0000",
             "\t\t\t*UVW_V_OFFSET 0.0000",
             "\t\t\t*UVW_U_TILING 1.0000",
             "\t\t\t*UVW_V_TILING 1.0000",
             "\t\t\t*UVW_ANGLE 0.0000",
             "\t\t\t*UVW_BLUR 1.0000",
             "\t\t\t*UVW_BLUR_OFFSET 0.0000",
             "\t\t\t*UVW_NOUSE_AMT 1.0000",
             "\t\t\t*UVW_NOISE_SIZE 1.0000",
             "\t\t\t*UVW_NOISE_LEVEL 1",
             "\t\t\t*UVW_NOISE_PHASE 0.0000",
             "\t\t\t*BITMAP_FILTER Pyramidal",
             "\t\t}"]
    return lines


def material(index, m):
    lines = ["\t*MATERIAL %d {" % index,
             '\t\t*MATERIAL_NAME "%s"' % m["name"],
             '\t\t*MATERIAL_CLASS "Standard"',
             "\t\t*MATERIAL_AMBIENT %s" % triple(m["ambient"]),
             "\t\t*MATERIAL_DIFFUSE %s" % triple(m["diffuse"]),
             "\t\t*MATERIAL_SPECULAR %s" % triple(m["specular"]),
             "\t\t*MATERIAL_SHINE %s" % f4(m["shine"]),
             "\t\t*MATERIAL_SHINESTRENGTH %s" % f4(m.get("shine_strength", 0.0)),
             "\t\t*MATERIAL_TRANSPARENCY %s" % f4(m.get("transparency", 0.0)),
             "\t\t*MATERIAL_WIRESIZE 1.0000",
             "\t\t*MATERIAL_SHADING Blinn",
             "\t\t*MATERIAL_XP_FALLOFF 0.0000",
             "\t\t*MATERIAL_SELFILLUM 0.0000",
             "\t\t*MATERIAL_FALLOFF In",
             "\t\t*MATERIAL_XP_TYPE Filter"]
    map_no = 1 + 2 * index
    if "diffuse_map" in m:
        lines += map_block("DIFFUSE", "Map #%d" % map_no, 1, 1.0, TEXTURES + m["diffuse_map"], "Screen")
    if "reflect_map" in m:
        lines += map_block("REFLECT", "Map #%d" % (map_no + 1), 9, m.get("reflect_amount", 0.5),
                           TEXTURES + m["reflect_map"], "Spherical")
    lines.append("\t}")
    return lines


def geomobject(mesh):
    lines = ["*GEOMOBJECT {",
             '\t*NODE_NAME "%s"' % mesh.name,
             "\t*NODE_TM {",
             '\t\t*NODE_NAME "%s"' % mesh.name,
             "\t\t*INHERIT_POS 0 0 0",
             "\t\t*INHERIT_ROT 0 0 0",
             "\t\t*INHERIT_SCL 0 0 0",
             "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000",
             "\t\t*TM_ROW1 0.0000\t1.0000\t0.0000",
             "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000",
             "\t\t*TM_ROW3 0.0000\t0.0000\t0.0000",
             "\t\t*TM_POS 0.0000\t0.0000\t0.0000",
             "\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000",
             "\t\t*TM_ROTANGLE 0.0000",
             "\t\t*TM_SCALE 1.0000\t1.0000\t1.0000",
             "\t\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000",
             "\t\t*TM_SCALEAXISANG 0.0000",
             "\t}",
             "\t*MESH {",
             "\t\t*TIMEVALUE 0",
             "\t\t*MESH_NUMVERTEX %d" % len(mesh.verts),
             "\t\t*MESH_NUMFACES %d" % len(mesh.faces),
             "\t\t*MESH_VERTEX_LIST {"]
    lines += ["\t\t\t*MESH_VERTEX %4d\t%s" % (i, triple(v)) for i, v in enumerate(mesh.verts)]
    lines += ["\t\t}", "\t\t*MESH_FACE_LIST {"]
    lines += ["\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0"
              "\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0" % (k, f[0], f[1], f[2]) for k, f in enumerate(mesh.faces)]
    lines += ["\t\t}", "\t\t*MESH_NUMTVERTEX %d" % len(mesh.tverts), "\t\t*MESH_TVERTLIST {"]
    lines += ["\t\t\t*MESH_TVERT %d\t%s" % (i, triple(t)) for i, t in enumerate(mesh.tverts)]
    lines += ["\t\t}", "\t\t*MESH_NUMTVFACES %d" % len(mesh.tfaces), "\t\t*MESH_TFACELIST {"]
    lines += ["\t\t\t*MESH_TFACE %d\t%d\t%d\t%d" % (k, f[0], f[1], f[2]) for k, f in enumerate(mesh.tfaces)]
    lines += ["\t\t}", "\t\t*MESH_NUMCVERTEX 0", "\t\t*MESH_NORMALS {"]
    for k, f in enumerate(mesh.faces):
        lines.append("\t\t\t*MESH_FACENORMAL %d\t%s" % (k, triple(mesh.face_normal(k))))
        for corner, n in zip(f, mesh.normals[k]):
            lines.append("\t\t\t\t*MESH_VERTEXNORMAL %d\t%s" % (corner, triple(n)))
    lines += ["\t\t}",
              "\t}",
              "\t*PROP_MOTIONBLUR 0",
              "\t*PROP_CASTSHADOW 1",
              "\t*PROP_RECVSHADOW 1",
              "\t*MATERIAL_REF %d" % mesh.material,
              "}"]
    return lines


def scene_text(scene_name, materials, meshes):
    lines = ["*3DSMAX_ASCIIEXPORT\t200",
             '*COMMENT "AsciiExport Version  2,00 - %s"' % COMMENT_DATE,
             "*SCENE {",
             '\t*SCENE_FILENAME "%s"' % scene_name,
             "\t*SCENE_FIRSTFRAME 0",
             "\t*SCENE_LASTFRAME 100",
             "\t*SCENE_FRAMESPEED 30",
             "\t*SCENE_TICKSPERFRAME 160",
             "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000",
             "\t*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000",
             "}",
             "*MATERIAL_LIST {",
             "\t*MATERIAL_COUNT %d" % len(materials)]
    for i, m in enumerate(materials):
        lines += material(i, m)
    lines.append("}")
    for mesh in meshes:
        lines += geomobject(mesh)
    return "\n".join(lines) + "\n"


SHIP_MATERIALS = [
    {"name": "Hull", "ambient": (0.55, 0.55, 0.6), "diffuse": (0.9, 0.9, 0.95), "specular": (0.6, 0.6, 0.6),
     "shine": 0.3, "shine_strength": 0.5, "diffuse_map": "hull.bmp", "reflect_map": "env.tga"},
    {"name": "Shield", "ambient": (0.02, 0.05, 0.1), "diffuse": (0.04, 0.08, 0.18), "specular": (0.4, 0.5, 0.7),
     "shine": 0.4, "transparency": 0.5, "reflect_map": "env.tga", "reflect_amount": 0.8},
    {"name": "Engine glow", "ambient": (1.0, 0.55, 0.2), "diffuse": (1.0, 0.6, 0.25), "specular": (0.3, 0.3, 0.3),
     "shine": 0.1},
]

BEACON_MATERIALS = [
    {"name": "Crystal", "ambient": (1.0, 1.0, 1.0), "diffuse": (1.0, 1.0, 1.0), "specular": (0.0, 0.0, 0.0),
     "shine": 0.0, "diffuse_map": "beacon.tga"},
    # The glow is added onto the picture (transparent) and is the last
    # material the scene applies: full ambient and no specular, so that
    # whatever is drawn after the beacon is lit evenly.
    {"name": "Glow", "ambient": (1.0, 1.0, 1.0), "diffuse": (1.0, 1.0, 1.0), "specular": (0.0, 0.0, 0.0),
     "shine": 0.0, "transparency": 0.5, "diffuse_map": "halo.tga"},
]


# ------------------------------------------------------- the benchmark scene

TERRAIN_CELL = 2.5       # grid spacing in scene units
TERRAIN_MATERIALS = 4


def terrain_tile(index, verts_per_object):
    """Tile `index` of a rippled landscape: a w x h grid of about
    verts_per_object vertices in the xz plane, two triangles per cell.
    Tiles stand side by side along x, so coordinates reach the thousands
    (numbers of up to eight digits, as large exported scenes have)."""
    w = max(2, math.isqrt(max(4, verts_per_object)))
    h = max(2, -(-verts_per_object // w))
    span = TERRAIN_CELL * (w - 1)
    x0, z0 = index * (span + 10.0), -0.5 * TERRAIN_CELL * (h - 1)
    amp, kx, kz = 3.0, 2 * math.pi / 40.0, 2 * math.pi / 55.0
    tile = Mesh("Terrain%03d" % (index + 1), index % TERRAIN_MATERIALS)
    normals = []
    for j in range(h):
        for i in range(w):
            x, z = x0 + i * TERRAIN_CELL, z0 + j * TERRAIN_CELL
            phase = 0.41 * index
            y = amp * math.sin(kx * x + phase) * math.cos(kz * z) + 0.3 * amp * math.sin(0.13 * (x + z))
            dydx = amp * kx * math.cos(kx * x + phase) * math.cos(kz * z) + 0.039 * amp * math.cos(0.13 * (x + z))
            dydz = -amp * kz * math.sin(kx * x + phase) * math.sin(kz * z) + 0.039 * amp * math.cos(0.13 * (x + z))
            tile.vertex((x, y, z), (i / (w - 1), j / (h - 1)))
            normals.append(normalize((-dydx, 1.0, -dydz)))
    for j in range(h - 1):
        for i in range(w - 1):
            a = j * w + i
            b, c, d = a + 1, a + w, a + w + 1
            tile.face(a, c, d, (normals[a], normals[c], normals[d]))
            tile.face(d, b, a, (normals[d], normals[b], normals[a]))
    return tile


def terrain_material(index):
    shade = 0.35 + 0.15 * index
    return {"name": "Ground #%d" % (index + 1), "ambient": (shade * 0.5, shade * 0.45, 0.2),
            "diffuse": (shade, shade * 0.9, 0.4), "specular": (0.9, 0.9, 0.9), "shine": 0.1,
            "diffuse_map": "ground_%02d.tga" % index, "reflect_map": "sky_%02d.jpg" % index,
            "reflect_amount": 0.25}


def write_big_scene(path, target_mib, verts_per_object, line_end="\n", object_count=None):
    """Writes tiles until the file passes target_mib MiB (or object_count
    tiles); returns the byte and object counts. The pictures it names do
    not exist."""
    materials = [terrain_material(i) for i in range(TERRAIN_MATERIALS)]
    target = int(target_mib * 1024 * 1024)
    written = objects = 0
    with open(path, "w", newline=line_end) as f:
        text = scene_text("terrain.max", materials, [])
        while True:
            f.write(text)
            written += len(text) + (len(line_end) - 1) * text.count("\n")
            if (written >= target) if object_count is None else (objects == object_count):
                break
            text = "\n".join(geomobject(terrain_tile(objects, verts_per_object))) + "\n"
            objects += 1
    return written, objects


def big_main(args):
    path, target_mib, verts, line_end, object_count = None, 100.0, 20000, "\n", None
    it = iter(args)
    for arg in it:
        if arg == "--crlf":
            line_end = "\r\n"
        elif arg == "--objects":
            object_count = int(next(it, "0"))
        elif arg == "--target-mb":
            target_mib = float(next(it, "0"))
        elif arg == "--verts-per-object":
            verts = int(next(it, "0"))
        elif path is None and not arg.startswith("--"):
            path = arg
        else:
            path = None
            break
    if path is None or target_mib <= 0 or verts < 4 or (object_count is not None and object_count < 1):
        sys.stderr.write("usage: make_scenes.py --big FILE [--target-mb MIB | --objects N] [--verts-per-object N]"
                         " [--crlf]\n")
        return 2
    written, objects = write_big_scene(path, target_mib, verts, line_end, object_count)
    sys.stderr.write("wrote %s: %d bytes, %d objects\n" % (path, written, objects))
    return 0


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--big":
        return big_main(sys.argv[2:])
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_scenes.py OUTDIR | --big FILE [--target-mb MIB | --objects N]"
                         " [--verts-per-object N] [--crlf]\n")
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    scenes = {
        "ship.ase": ("ship.max", SHIP_MATERIALS, [ship_hull(), ship_wings(), ship_engines(), shield()]),
        "beacon.ase": ("beacon.max", BEACON_MATERIALS, [beacon_crystal(-40.0), beacon_halo(-41.0)]),
    }
    for file_name, (scene_name, materials, meshes) in scenes.items():
        with open(os.path.join(out, file_name), "w", newline="\n") as f:
            f.write(scene_text(scene_name, materials, meshes))
    return 0


if __name__ == "__main__":
    sys.exit(main())
