"""The regression subset of the validation: three surfaces and three curves of the suite, made
again and measured by the real tools, give exactly the values of docs/validation/results.csv."""

import os
import pathlib
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import validate  # noqa: E402

COMMITTED = validate.read_results(pathlib.Path(os.environ["VALIDATION_RESULTS"]))
GWYDDION = {"gwyddionTriangulation", "gwyddionCubeCounting"}


@pytest.fixture(scope="module")
def measured(tmp_path_factory):
    folder = tmp_path_factory.mktemp("validation")
    surfaces = validate.make_surfaces(folder, validate.REGRESSION_SURFACES)
    curves = validate.make_curves(folder, validate.REGRESSION_CURVES)
    assert sorted(surfaces) == sorted(validate.REGRESSION_SURFACES)
    assert [c["name"] for c, _ in curves] == validate.REGRESSION_CURVES
    rows = validate.measure(pathlib.Path("unused"), folder, surfaces, curves, jobs=2, gwyddion=False)
    return {row["image"]: row for row in rows}


@pytest.mark.parametrize("image", validate.REGRESSION_SURFACES + validate.REGRESSION_CURVES)
def test_values_equal_the_committed_results(measured, image):
    committed = COMMITTED[image]
    row = measured[image]
    checked = [c for c in validate.COLUMNS if c not in GWYDDION and committed[c] != ""]
    assert len(checked) >= 6
    assert {c: row.get(c, "") for c in validate.COLUMNS if c not in GWYDDION} == \
        {c: committed[c] for c in validate.COLUMNS if c not in GWYDDION}
