"""Nothing the package hands back names a window control (a picture box, text box, option button,
file list, ... by its number): not the measurement keys, the batch columns, the warnings or the error
messages."""

import re
import warnings

import pytest

import skinmeters
from conftest import LESION_PHOTOS, TEXTURE_PHOTOS, marks_of

CONTROLS = ("Picture", "Text", "Command", "Label", "Option", "Check", "List", "File", "Dir", "Drive", "Frame")
#: A control's name: its kind directly followed by its number, on its own or in camel case.
CONTROL_NAME = re.compile(rf"(^|[^A-Za-z])(?i:{'|'.join(CONTROLS)})[0-9]|[a-z]({'|'.join(CONTROLS)})[0-9]")


def texts_of(value):
    """Every key and text inside a result, recursively."""
    if isinstance(value, dict):
        for key, item in value.items():
            yield str(key)
            yield from texts_of(item)
    elif isinstance(value, (list, tuple)):
        for item in value:
            yield from texts_of(item)
    elif isinstance(value, str):
        yield value


def assert_no_control_name(texts):
    named = [t for t in texts if CONTROL_NAME.search(t)]
    assert named == []


def test_the_pattern_finds_control_names():
    for kind in CONTROLS:
        for text in (f"{kind}14", f"the box {kind.lower()}5", f"k{kind}3", f"a {kind.upper()}7:"):
            assert CONTROL_NAME.search(text), text
    for text in ("outlineDimension", "darkFrameShareR2", "ringBrightnessR5to11", "photo1.jpg"):
        assert not CONTROL_NAME.search(text), text


def test_texture_results_warnings_and_errors(tmp_path):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = skinmeters.texture(TEXTURE_PHOTOS[0], x=500, seed=1)
    assert caught, "the square reaches past the edge: a warning"
    assert_no_control_name(list(texts_of(result)) + [str(w.message) for w in caught])
    messages = []
    for parameters in ({"side": 500}, {"window": "abc"}, {"x": 40000}, {"x": 9000}, {"side": 0}):
        with pytest.raises(skinmeters.AnalysisError) as failed:
            skinmeters.texture(TEXTURE_PHOTOS[0], seed=1, **parameters)
        messages.append(str(failed.value))
    assert_no_control_name(messages)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        frame = skinmeters.batch([TEXTURE_PHOTOS[0], tmp_path / "missing.jpg"], seed=1, jobs=1)
    assert_no_control_name(list(frame.columns) + [str(v) for v in frame["error"].dropna()])


def test_lesion_results(tmp_path):
    photo = LESION_PHOTOS[1]
    marks = marks_of(photo.name)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        result = skinmeters.lesion(str(photo), marks, seed=1)
    assert_no_control_name(list(texts_of(result)))
