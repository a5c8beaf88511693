"""Dimensions checked against known truth: makes the pictures of known_truth.py, measures them with
texturemeter-cli and lesionmeter-cli (and Gwyddion's fractal methods as a peer, where built), and
writes docs/validation.md, docs/validation/results.csv and the plots.

    /usr/bin/python3 tools/validation/validate.py --build build --docs docs

Deterministic: fixed seeds, fixed tool seeds, files written in a fixed order; a rerun writes the
same bytes.
"""

import argparse
import csv
import io
import json
import math
import os
import pathlib
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import known_truth as kt  # noqa: E402

# ---- the suite -----------------------------------------------------------------------------------

HURSTS = [0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9]
SURFACES_PER_H = 5
CONTRASTS = [1.0, 0.5, 0.25, 0.125]
SURFACE_SIDE = 400          # texturemeter-cli --side: 401 x 401 pixels, 100 tiles of 40
TOOL_SEED = 1               # --seed of every tool run
JPEG_QUALITY = 95

# Curves: drawn bright on dark for texturemeter (201 x 201, the square of side 200) and as a dark
# lesion on skin for lesionmeter (320 x 300; its outline is measured over x, y = 3..284).
TEXTURE_SIZE = (201, 201)
LESION_SIZE = (320, 300)
BRIGHT, DARK = (230, 230, 230), (40, 40, 40)
LESION, SKIN = (120, 70, 50), (225, 185, 165)


def _curve(name, true_dimension, builder):
    return {"name": name, "trueDimension": true_dimension, "builder": builder}


# Each builder takes (centre, scale): scale is the circumradius available around the centre.
CURVES = [
    *[_curve(f"koch-snowflake-level{k}", kt.KOCH, lambda c, s, k=k: kt.koch_snowflake(k, c, s))
      for k in (2, 3, 4, 5)],
    *[_curve(f"quadratic-koch-island-level{k}", 1.5, lambda c, s, k=k: kt.quadratic_koch_island(k, c, 0.5 * s))
      for k in (2, 3)],
    *[_curve(f"circle-r{int(f * 100)}", 1.0, lambda c, s, f=f: kt.circle(c, f * s)) for f in (0.5, 0.75, 1.0)],
    # Squares turned by 0..45 degrees, each reaching 0.7 x scale from the centre along x and y.
    *[_curve(f"square-{deg}deg", 1.0, lambda c, s, deg=deg: kt.square(c, 0.7 * s / (
        math.cos(math.radians(deg)) + math.sin(math.radians(deg))), deg))
      for deg in (0, 15, 30, 45)],
]
# Where the curves sit: texturemeter's box counting reaches x, y = 3..184, lesionmeter's 3..284.
TEXTURE_PLACE = ((94, 94), 80)
LESION_PLACE = ((144, 144), 125)

# The regression subset of `make test`: three surfaces and three curves.
REGRESSION_SURFACES = ["fbm-H0.3-n0-c1.png", "fbm-H0.5-n1-c0.5.png", "fbm-H0.7-n2-c1.jpg"]
REGRESSION_CURVES = ["koch-snowflake-level3", "quadratic-koch-island-level2", "square-30deg"]

COLUMNS = ["image", "kind", "hurst", "surface", "contrast", "format", "trueDimension",
           "tileMean", "tileSd", "tileMeanCi95Low", "tileMeanCi95High", "heightSd",
           "wholeWindowDimension", "wholeWindowRSquared", "wholeWindowFitCi95Low", "wholeWindowFitCi95High",
           "gwyddionTriangulation", "gwyddionCubeCounting",
           "lineFrDim", "lineFrDimRSquared", "lineFrDimIdealEdge",
           "frd1", "frd1RSquared", "frd1IdealEdge"]


def surface_name(hurst, number, contrast, fmt):
    return f"fbm-H{hurst:g}-n{number}-c{contrast:g}.{fmt}"


def parse_surface_name(name):
    stem, fmt = name.rsplit(".", 1)
    _, h, n, c = stem.split("-")
    return float(h[1:]), int(n[1:]), float(c[1:]), fmt


# ---- making the pictures -------------------------------------------------------------------------


def grey_rgb(grey):
    return numpy.repeat(grey[:, :, None], 3, axis=2)


def write_jpeg(path, rgb):
    from PIL import Image
    Image.fromarray(rgb, "RGB").save(path, quality=JPEG_QUALITY)


def make_surfaces(folder, names=None):
    """Writes the surface pictures (all, or only `names`); returns their names in suite order."""
    wanted = None if names is None else set(names)
    made = []
    for hurst in HURSTS:
        for number in range(SURFACES_PER_H):
            group = [surface_name(hurst, number, c, f) for c in CONTRASTS for f in ("png", "jpg")]
            if wanted is not None and not wanted.intersection(group):
                continue
            surface = kt.fbm_surface(hurst, SURFACE_SIDE + 1, number)
            for contrast in CONTRASTS:
                rgb = grey_rgb(kt.grey_levels(surface, contrast))
                for fmt in ("png", "jpg"):
                    name = surface_name(hurst, number, contrast, fmt)
                    if wanted is not None and name not in wanted:
                        continue
                    (kt.write_png if fmt == "png" else write_jpeg)(folder / name, rgb)
                    made.append(name)
    return made


def lesion_samples(mask):
    """IN samples near the lesion's centre of mass (inside it), OUT samples at the picture's corners."""
    ys, xs = numpy.nonzero(mask)
    cx, cy = int(round(xs.mean())), int(round(ys.mean()))
    inside = [(cx + dx, cy + dy) for dx, dy in [(0, 0), (-8, 0), (8, 0), (0, -8), (0, 8)] if mask[cy + dy, cx + dx]]
    h, w = mask.shape
    outside = [(10, 10), (w - 11, 10), (10, h - 11), (w - 11, h - 11), (w // 2, h - 6)]
    return inside, outside, (cx, cy)


def make_curves(folder, names=None):
    """Writes each curve's pictures and ideal edges; returns [(curve, lesion samples)]."""
    made = []
    for curve in CURVES:
        if names is not None and curve["name"] not in names:
            continue
        polygon = curve["builder"](*TEXTURE_PLACE)
        w, h = TEXTURE_SIZE
        kt.write_png(folder / f"{curve['name']}-texture.png", kt.paint(kt.inside(polygon, w, h), BRIGHT, DARK))
        kt.write_png(folder / f"{curve['name']}-texture-edge.png",
                     kt.paint(kt.ideal_edge(polygon, w, h), (0, 0, 0), (255, 255, 255)))
        polygon = curve["builder"](*LESION_PLACE)
        w, h = LESION_SIZE
        mask = kt.inside(polygon, w, h)
        kt.write_png(folder / f"{curve['name']}-lesion.png", kt.paint(mask, LESION, SKIN))
        kt.write_png(folder / f"{curve['name']}-lesion-edge.png",
                     kt.paint(kt.ideal_edge(polygon, w, h), (0, 0, 0), (255, 255, 255)))
        made.append((curve, lesion_samples(mask)))
    return made


# ---- measuring -----------------------------------------------------------------------------------


def number(v):
    """A value as the shortest text that reads back to the same double ('' for none)."""
    return "" if v is None else repr(float(v))


def texture_report(cli, folder, pictures, side, jobs):
    report = folder / f"texture-{side}.json"
    subprocess.run([cli, "--seed", str(TOOL_SEED), "--side", str(side), "--jobs", str(jobs),
                    "--output", str(folder / f"texture-{side}.csv"), "--json", str(report),
                    *[str(folder / p) for p in pictures]], check=True, capture_output=True)
    images = json.loads(report.read_text())["images"]
    return {pathlib.Path(i["path"]).name: i["measurements"] for i in images}


def lesion_measurements(cli, folder, curve, samples):
    inside, outside, centre = samples
    picture = folder / f"{curve['name']}-lesion.png"
    report = folder / f"{curve['name']}-lesion.json"
    args = [cli, str(picture), "--seed", str(TOOL_SEED), "--json", str(report)]
    for x, y in inside:
        args += ["--in", f"{x},{y}"]
    for x, y in outside:
        args += ["--out", f"{x},{y}"]
    args += ["--centre", f"{centre[0]},{centre[1]}"]
    subprocess.run(args, check=True, capture_output=True)
    return json.loads(report.read_text())["images"][0]["measurements"]


def edge_counts(tool, folder, curves):
    pictures = []
    for curve, _ in curves:
        pictures += [folder / f"{curve['name']}-texture-edge.png", folder / f"{curve['name']}-lesion-edge.png"]
    out = subprocess.run([tool, *map(str, pictures)], check=True, capture_output=True, text=True).stdout
    rows = {pathlib.Path(line.split(",")[0]).name: [float(v) for v in line.split(",")[1:]]
            for line in out.splitlines()}
    # The texture picture with the table of "line fr dim", the lesion picture with that of FRD1.
    return {curve["name"]: (rows[f"{curve['name']}-texture-edge.png"][0], rows[f"{curve['name']}-lesion-edge.png"][2])
            for curve, _ in curves}


def surface_row(name, m):
    hurst, number_, contrast, fmt = parse_surface_name(name)
    mono = m["monochrome"]
    whole = m["fits"]["monochrome"]["wholeWindow"]
    ci = mono["meanDimensionCi95"] or [None, None]
    fit_ci = whole["dimensionCi95"] or [None, None]
    return {"image": name, "kind": "surface", "hurst": f"{hurst:g}", "surface": str(number_),
            "contrast": f"{contrast:g}", "format": fmt, "trueDimension": number(3 - hurst),
            "tileMean": number(mono["meanDimension"]), "tileSd": number(mono["dimensionSd"]),
            "tileMeanCi95Low": number(ci[0]), "tileMeanCi95High": number(ci[1]), "heightSd": number(mono["heightSd"]),
            "wholeWindowDimension": number(whole["dimension"]), "wholeWindowRSquared": number(whole["rSquared"]),
            "wholeWindowFitCi95Low": number(fit_ci[0]), "wholeWindowFitCi95High": number(fit_ci[1])}


def curve_row(curve, texture, lesion, edges):
    return {"image": curve["name"], "kind": "curve", "trueDimension": number(curve["trueDimension"]),
            "lineFrDim": number(texture["outlineDimension"]),
            "lineFrDimRSquared": number(texture["fits"]["outline"]["rSquared"]),
            "lineFrDimIdealEdge": number(edges[0]),
            "frd1": number(lesion["outlineDimension"]),
            "frd1RSquared": number(lesion["fits"]["outline"]["rSquared"]),
            "frd1IdealEdge": number(edges[1])}


def surface_heights(folder, name):
    """The photograph's heights grey / 255 x side as the tools decode it (greyOf of each pixel)."""
    from PIL import Image
    rgb = numpy.asarray(Image.open(folder / name).convert("RGB"), dtype=numpy.float64)
    grey = 0.11 * rgb[..., 2] + 0.59 * rgb[..., 1] + 0.3 * rgb[..., 0]
    return grey / 255 * SURFACE_SIDE


def gwyddion_dimensions(tool, folder, names, jobs):
    files = []
    for name in names:
        path = folder / (name + ".f64")
        surface_heights(folder, name).astype("<f8").tofile(path)
        files.append(path)
    chunks = [files[i::jobs] for i in range(jobs)]

    def run(chunk):
        out = subprocess.run([tool, *map(str, chunk)], check=True, capture_output=True, text=True).stdout
        return [line.split(",") for line in out.splitlines()]

    result = {}
    with ThreadPoolExecutor(jobs) as pool:
        for lines in pool.map(run, [c for c in chunks if c]):
            for path, tri, cube in lines:
                result[pathlib.Path(path).name[:-4]] = (float(tri), float(cube))
    return result


def measure(build, folder, surfaces, curves, jobs, gwyddion=True):
    """Rows of results.csv for the given surface pictures and curves (pictures already made)."""
    tools = {"texture": build / "texturemeter" / "texturemeter-cli",
             "lesion": build / "lesionmeter" / "lesionmeter-cli",
             "edges": build / "tools" / "validation" / "validation_edge_count",
             "gwyddion": build / "tools" / "validation" / "validation_gwyddion_peer"}
    for key, env in (("texture", "VALIDATION_TEXTUREMETER_CLI"), ("lesion", "VALIDATION_LESIONMETER_CLI"),
                     ("edges", "VALIDATION_EDGE_COUNT")):
        if os.environ.get(env):
            tools[key] = pathlib.Path(os.environ[env])
    rows = []
    if surfaces:
        measured = texture_report(tools["texture"], folder, surfaces, SURFACE_SIDE, jobs)
        peer = {}
        if gwyddion:
            if not tools["gwyddion"].exists():
                raise SystemExit("validation_gwyddion_peer is not built: run scripts/setup.sh validate, then "
                                 "configure and build again (make validate does both)")
            peer = gwyddion_dimensions(tools["gwyddion"], folder, surfaces, jobs)
        for name in surfaces:
            row = surface_row(name, measured[name])
            if name in peer:
                row["gwyddionTriangulation"], row["gwyddionCubeCounting"] = map(number, peer[name])
            rows.append(row)
    if curves:
        texture = texture_report(tools["texture"], folder, [f"{c['name']}-texture.png" for c, _ in curves], 200, jobs)
        edges = edge_counts(tools["edges"], folder, curves)
        with ThreadPoolExecutor(jobs) as pool:
            lesions = list(pool.map(lambda cs: lesion_measurements(tools["lesion"], folder, *cs), curves))
        for (curve, _), lesion in zip(curves, lesions):
            rows.append(curve_row(curve, texture[f"{curve['name']}-texture.png"], lesion, edges[curve["name"]]))
    return rows


def write_results(path, rows):
    out = io.StringIO()
    writer = csv.DictWriter(out, COLUMNS, lineterminator="\n")
    writer.writeheader()
    for row in rows:
        writer.writerow({c: row.get(c, "") for c in COLUMNS})
    path.write_text(out.getvalue())


def read_results(path):
    with open(path, newline="") as f:
        return {row["image"]: row for row in csv.DictReader(f)}


# ---- the report ----------------------------------------------------------------------------------


def f(v, digits=3):
    return "" if v is None or (isinstance(v, float) and math.isnan(v)) else f"{v:.{digits}f}"


def holds(low, high, truth):
    return low != "" and high != "" and float(low) <= truth <= float(high)


def group(rows, **where):
    return [r for r in rows if all(r[k] == v for k, v in where.items())]


def mean_of(rows, column):
    values = [float(r[column]) for r in rows if r.get(column, "") != ""]
    return sum(values) / len(values) if values else float("nan")


def surface_table(rows, fmt):
    lines = ["| H | true D | tile mean (sd over surfaces) | bias | tile-mean interval holds | whole window D | "
             "R² | fit interval holds | Gwyddion triangulation | Gwyddion cube counting |",
             "|---|---|---|---|---|---|---|---|---|---|"]
    for hurst in HURSTS:
        g = group(rows, kind="surface", hurst=f"{hurst:g}", contrast="1", format=fmt)
        truth = 3 - hurst
        means = [float(r["tileMean"]) for r in g]
        sd = numpy.std(means, ddof=1) if len(means) > 1 else 0
        tile_holds = sum(holds(r["tileMeanCi95Low"], r["tileMeanCi95High"], truth) for r in g)
        fit_holds = sum(holds(r["wholeWindowFitCi95Low"], r["wholeWindowFitCi95High"], truth) for r in g)
        lines.append(f"| {hurst:g} | {truth:.1f} | {f(numpy.mean(means))} ({f(sd)}) | "
                     f"{numpy.mean(means) - truth:+.3f} | {tile_holds} of {len(g)} | "
                     f"{f(mean_of(g, 'wholeWindowDimension'))} | {f(mean_of(g, 'wholeWindowRSquared'), 4)} | "
                     f"{fit_holds} of {len(g)} | {f(mean_of(g, 'gwyddionTriangulation'))} | "
                     f"{f(mean_of(g, 'gwyddionCubeCounting'))} |")
    return lines


def contrast_table(rows):
    head = "| H | true D | " + " | ".join(f"contrast {c:g}" for c in CONTRASTS) + " | heightSd at " + \
        ", ".join(f"{c:g}" for c in CONTRASTS) + " | Gwyddion triangulation at " + ", ".join(
            f"{c:g}" for c in CONTRASTS) + " |"
    lines = [head, "|---|---|" + "---|" * len(CONTRASTS) + "---|---|"]
    for hurst in HURSTS:
        cells, sds, tri = [], [], []
        for c in CONTRASTS:
            g = group(rows, kind="surface", hurst=f"{hurst:g}", contrast=f"{c:g}", format="png")
            cells.append(f(mean_of(g, "tileMean")))
            sds.append(f(mean_of(g, "heightSd"), 1))
            tri.append(f(mean_of(g, "gwyddionTriangulation")))
        lines.append(f"| {hurst:g} | {3 - hurst:.1f} | " + " | ".join(cells) + " | " + ", ".join(sds) + " | " +
                     ", ".join(tri) + " |")
    return lines


def jpeg_table(rows):
    lines = ["| H | tile mean, PNG | tile mean, JPEG (quality 95) | largest difference of one surface |",
             "|---|---|---|---|"]
    for hurst in HURSTS:
        png = group(rows, kind="surface", hurst=f"{hurst:g}", contrast="1", format="png")
        jpg = group(rows, kind="surface", hurst=f"{hurst:g}", contrast="1", format="jpg")
        diff = max(abs(float(a["tileMean"]) - float(b["tileMean"])) for a, b in zip(png, jpg))
        lines.append(f"| {hurst:g} | {f(mean_of(png, 'tileMean'))} | {f(mean_of(jpg, 'tileMean'))} | {diff:.3f} |")
    return lines


def curve_table(rows):
    lines = ["| curve | true D | line fr dim | R² | ideal edge, same boxes | FRD1 | R² | ideal edge, same boxes |",
             "|---|---|---|---|---|---|---|---|"]
    for r in group(rows, kind="curve"):
        lines.append(f"| {r['image']} | {f(float(r['trueDimension']), 4)} | {f(float(r['lineFrDim']))} | "
                     f"{f(float(r['lineFrDimRSquared']), 4)} | {f(float(r['lineFrDimIdealEdge']))} | "
                     f"{f(float(r['frd1']))} | {f(float(r['frd1RSquared']), 4)} | {f(float(r['frd1IdealEdge']))} |")
    return lines


def plots(rows, folder):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    plt.rcParams.update({"svg.hashsalt": "validation", "font.size": 9})
    meta = {"Software": None}

    # Surfaces: measured against true.
    fig, ax = plt.subplots(figsize=(6, 5), dpi=100)
    full = group(rows, kind="surface", contrast="1", format="png")
    series = [("tileMean", "tile mean (texturemeter)", "o", "tab:blue"),
              ("wholeWindowDimension", "whole window, FR tatal (texturemeter)", "s", "tab:cyan"),
              ("gwyddionTriangulation", "Gwyddion triangulation", "^", "tab:orange"),
              ("gwyddionCubeCounting", "Gwyddion cube counting", "v", "tab:green")]
    for column, label, marker, colour in series:
        pts = [(float(r["trueDimension"]), float(r[column])) for r in full if r.get(column, "") != ""]
        if pts:
            x, y = zip(*pts)
            ax.scatter(x, y, marker=marker, s=18, label=label, color=colour, alpha=0.75)
    ax.plot([2, 3], [2, 3], color="black", linewidth=1, label="identity (measured = true)")
    ax.set_xlabel("true dimension 3 − H")
    ax.set_ylabel("measured dimension")
    ax.set_title("Fractional Brownian surfaces, full contrast (5 per H)")
    ax.set_xlim(2.0, 3.0)
    ax.set_ylim(1.9, 3.0)
    ax.legend(loc="upper left", fontsize=8)
    ax.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(folder / "surfaces-measured-vs-true.png", metadata=meta)
    plt.close(fig)

    # Surfaces: dimension against contrast.
    fig, axes = plt.subplots(1, 2, figsize=(10, 4.5), dpi=100, sharey=True)
    colours = plt.cm.viridis(numpy.linspace(0, 0.95, len(HURSTS)))
    for ax, column, title in ((axes[0], "tileMean", "texturemeter tile mean"),
                              (axes[1], "gwyddionTriangulation", "Gwyddion triangulation")):
        for hurst, colour in zip(HURSTS, colours):
            ys = [mean_of(group(rows, kind="surface", hurst=f"{hurst:g}", contrast=f"{c:g}", format="png"), column)
                  for c in CONTRASTS]
            ax.plot(CONTRASTS, ys, marker="o", color=colour, label=f"H = {hurst:g} (true {3 - hurst:.1f})")
            ax.axhline(3 - hurst, color=colour, linewidth=0.6, linestyle=":")
        ax.set_xscale("log", base=2)
        ax.set_xticks(CONTRASTS)
        ax.set_xticklabels([f"{c:g}" for c in CONTRASTS])
        ax.set_xlabel("grey contrast (1 = full 0..255 range)")
        ax.set_title(title)
        ax.grid(alpha=0.3)
    axes[0].set_ylabel("dimension (mean of 5 surfaces); dotted: truth")
    axes[1].legend(loc="center left", bbox_to_anchor=(1.0, 0.5), fontsize=8)
    fig.tight_layout()
    fig.savefig(folder / "surfaces-dimension-vs-contrast.png", metadata=meta)
    plt.close(fig)

    # Curves: measured against true.
    fig, ax = plt.subplots(figsize=(6, 5), dpi=100)
    curves = group(rows, kind="curve")
    series = [("lineFrDim", "line fr dim (texturemeter outline)", "o", "tab:blue"),
              ("lineFrDimIdealEdge", "ideal edge, line fr dim boxes", "x", "tab:cyan"),
              ("frd1", "FRD1 (lesionmeter outline)", "s", "tab:red"),
              ("frd1IdealEdge", "ideal edge, FRD1 boxes", "+", "tab:pink")]
    for k, (column, label, marker, colour) in enumerate(series):
        x = [float(r["trueDimension"]) + (k - 1.5) * 0.006 for r in curves]
        ax.scatter(x, [float(r[column]) for r in curves], marker=marker, s=24, label=label, color=colour)
    ax.plot([0.9, 1.6], [0.9, 1.6], color="black", linewidth=1, label="identity (measured = true)")
    ax.set_xlabel("true dimension (circle, square 1; Koch snowflake 1.262; quadratic Koch island 1.5)")
    ax.set_ylabel("measured dimension")
    ax.set_title("Curves: outlines of shapes of known dimension")
    ax.set_xlim(0.9, 1.6)
    ax.set_ylim(0.85, 1.6)
    ax.legend(loc="upper left", fontsize=8)
    ax.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(folder / "curves-measured-vs-true.png", metadata=meta)
    plt.close(fig)


def report(rows, path):
    full = group(rows, kind="surface", contrast="1", format="png")
    fit_misses = sum(not holds(r["wholeWindowFitCi95Low"], r["wholeWindowFitCi95High"], float(r["trueDimension"]))
                     for r in full)
    tile_misses = sum(not holds(r["tileMeanCi95Low"], r["tileMeanCi95High"], float(r["trueDimension"]))
                      for r in full)
    low = [r for r in group(rows, kind="surface", format="png") if r["contrast"] != "1"]
    low_misses = sum(not holds(r["wholeWindowFitCi95Low"], r["wholeWindowFitCi95High"], float(r["trueDimension"]))
                     for r in low)
    def bias_range(column, selected):
        by_h = [mean_of(group(selected, hurst=f"{h:g}"), column) - (3 - h) for h in HURSTS]
        return f"{min(by_h):+.3f} to {max(by_h):+.3f}"

    def contrast_drop(column):
        drops = []
        for h in HURSTS:
            means = [mean_of(group(rows, kind="surface", hurst=f"{h:g}", contrast=f"{c:g}", format="png"), column)
                     for c in CONTRASTS]
            drops += [abs(a - b) for a, b in zip(means, means[1:])]
        return f"{max(drops):.3f}"

    def curve_range(column, prefix):
        values = [float(r[column]) - float(r["trueDimension"]) for r in group(rows, kind="curve")
                  if r["image"].startswith(prefix)]
        return f"{min(values):+.3f} to {max(values):+.3f}"

    smooth = ("circle", "square")
    text = TEMPLATE.format(
        tile_bias=bias_range("tileMean", full), tri_bias=bias_range("gwyddionTriangulation", full),
        cube_bias=bias_range("gwyddionCubeCounting", full), tile_drop=contrast_drop("tileMean"),
        tri_drop=contrast_drop("gwyddionTriangulation"),
        line_smooth="; ".join(f"{p}s {curve_range('lineFrDim', p)}" for p in smooth),
        line_koch=curve_range("lineFrDim", "koch"), frd1_smooth="; ".join(f"{p}s {curve_range('frd1', p)}" for p in smooth),
        frd1_koch=curve_range("frd1", "koch"), frd1_island=curve_range("frd1", "quadratic"),
        line_island=curve_range("lineFrDim", "quadratic"),
        edge_smooth="; ".join(f"{p}s {curve_range('lineFrDimIdealEdge', p)}" for p in smooth),
        hursts=", ".join(f"{h:g}" for h in HURSTS), per_h=SURFACES_PER_H, side=SURFACE_SIDE + 1,
        contrasts=", ".join(f"{c:g}" for c in CONTRASTS), seed=TOOL_SEED,
        surface_png="\n".join(surface_table(rows, "png")), surface_jpg="\n".join(surface_table(rows, "jpg")),
        contrast="\n".join(contrast_table(rows)), jpeg="\n".join(jpeg_table(rows)),
        curves="\n".join(curve_table(rows)), n_full=len(full), fit_misses=fit_misses, tile_misses=tile_misses,
        n_low=len(low), low_misses=low_misses,
        regression_surfaces=", ".join(f"`{n}`" for n in REGRESSION_SURFACES),
        regression_curves=", ".join(f"`{n}`" for n in REGRESSION_CURVES))
    path.write_text(text)


TEMPLATE = """# Dimensions checked against known truth

Made by `make validate` (`tools/validation/`): every picture below is generated from fixed seeds,
measured by the real command-line tools (`texturemeter-cli --seed {seed}`, `lesionmeter-cli --seed
{seed}`) and, for the surfaces, by Gwyddion's fractal methods (Debian's `libgwyddion20-dev`,
called from `tools/validation/gwyddion_peer.cpp`). A rerun reproduces this page, the plots and
[`validation/results.csv`](validation/results.csv) (one row per picture, every value at full
precision) byte for byte. What the numbers mean for reading a dimension is in the README ("Reading
a dimension").

## Surfaces

Exact fractional Brownian surfaces (Stein's circulant embedding), H = {hursts}, {per_h} surfaces
each, {side} × {side} pixels, true dimension 3 − H. The heights are spread over the grey levels
0..255 (full contrast) and over {contrasts} of that range about mid-grey; each picture is saved as
PNG and as quality-95 JPEG. texturemeter reads the square of side 400 with tiles of 40 (100
tiles). "Tile mean" is `monochrome.meanDimension` ("Monochrome--FR-AVE"), its interval
`monochrome.meanDimensionCi95` (mean ± t × s / √n over the tiles); "whole window" is the fit of
the window at the origin ("FR tatal") with its R² and its 95 % fit interval. Gwyddion measures the
same heights (grey / 255 × 400, pixel step 1).

### Full contrast, PNG

{surface_png}

Measured minus true, mean of the surfaces of each H: tile mean {tile_bias}, Gwyddion's
triangulation {tri_bias}, cube counting {cube_bias}. The fit interval of the whole window missed
the truth for {fit_misses} of {n_full} surfaces; the sampling interval of the tile mean missed it
for {tile_misses} of {n_full}: neither interval is an uncertainty of the dimension against the
truth. At lower contrast the fit interval missed the truth for {low_misses} of {n_low} surfaces.

![Surfaces: measured against true](validation/surfaces-measured-vs-true.png)

### Full contrast, JPEG (quality 95)

{surface_jpg}

{jpeg}

### Contrast

The same surfaces at lower grey contrast (PNG, mean of {per_h} surfaces). Heights are grey / 255 ×
side, so lower contrast flattens the surface the method measures and lowers the dimension:
halving the contrast lowers the tile mean by up to {tile_drop}, while Gwyddion's triangulation
moves by at most {tri_drop}. `heightSd` (population sd of the heights, grey / 255 × 400, white
border included) reports the amplitude the dimension was measured at.

{contrast}

![Surfaces: dimension against contrast](validation/surfaces-dimension-vs-contrast.png)

## Curves

Each shape is drawn as a bright region on a dark square for texturemeter (201 × 201, side 200,
"line fr dim") and as a dark lesion on skin for lesionmeter (320 × 300, FRD1, samples inside the
lesion and at the picture's corners). "Ideal edge" counts the pixels the shape's sides pass
through with the same box table and the same formula (−slope − 0.09), without the outline stage.

{curves}

Measured minus true: "line fr dim" reads {line_smooth}; Koch snowflakes {line_koch}; the
quadratic Koch island {line_island}. The ideal edge with the same boxes reads {edge_smooth}: most
of the excess comes from the outline stage's double band of dotted pixels. FRD1 reads
{frd1_smooth} (the axis-aligned square lowest: its edges line up with the box grid); Koch
snowflakes {frd1_koch}; the quadratic Koch island {frd1_island}. Level 2 curves have no detail below
the larger boxes and read low; level 5 has detail below a pixel.

![Curves: measured against true](validation/curves-measured-vs-true.png)

## Regression subset

`make test` makes {regression_surfaces} and {regression_curves} again, measures them with the
tools and compares every value with `validation/results.csv`, digit for digit.
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", type=pathlib.Path)
    parser.add_argument("--docs", default="docs", type=pathlib.Path)
    parser.add_argument("--work", type=pathlib.Path, help="scratch folder (default: BUILD/validation)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    a = parser.parse_args()
    work = a.work or a.build / "validation"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    print("validation: making pictures", file=sys.stderr)
    surfaces = make_surfaces(work)
    curves = make_curves(work)
    print(f"validation: measuring {len(surfaces)} surfaces and {len(curves)} curves", file=sys.stderr)
    rows = measure(a.build, work, surfaces, curves, a.jobs)
    (a.docs / "validation").mkdir(parents=True, exist_ok=True)
    write_results(a.docs / "validation" / "results.csv", rows)
    rows = list(read_results(a.docs / "validation" / "results.csv").values())
    plots(rows, a.docs / "validation")
    report(rows, a.docs / "validation.md")
    print(f"validation: wrote {a.docs / 'validation.md'}", file=sys.stderr)


if __name__ == "__main__":
    main()
