# SPDX-License-Identifier: GPL-3.0-or-later
"""Reading the result files that ratiospec writes.

The averaged H/V file (always), the averaged spectra file OUT_sp and the per-window
files OUT_win_NNN. Every layout problem raises ResultError with a one-line reason,
so that the command can refuse the file without a traceback.
"""

import math
import os
import re
from dataclasses import dataclass, field

HV_TITLE = "### data used in the H/V ratio processing:"
AZIMUTH_TITLE = "### data used in the azimuthal H/V ratio processing:"
SPECTRA_TITLE = "### data used in the FOURIER spectra processing:"
WINDOW_TITLE = "### window used in the H/V ratio processing:"
END_SECTION = " ### end processing"
HV_COLUMNS = " #    freq           av_HV"
SPECTRA_COLUMNS = " #    freq          vert_sp"
WINDOW_COLUMNS = " #   freq            mergedHV"
NOT_FOUND = -9.0  # ratiospec's value for an Fo it could not determine

# n_freq_samples as I6, Fo and its band as F9.4 fields.
_FO_LINE = re.compile(
    r"^ # n_freq_samples: (.{6})  Fo: (.{9}) range \+/- 1 s\.d\.: (.{9}) - (.{9}) \[Hz\]\s*$"
)
_COUNT_LINE = re.compile(r"^ # n_freq_samples: (.{6})\s*$")
# A window line of the header: the recording path, start and end as F13.2, three
# channel codes and the station's first three characters.
_WINDOW_LINE = re.compile(r"^ # (.*) ([ \d.*-]{13})([ \d.*-]{13}) .{3} .{3} .{3} .{3}$")
_REJECTION_LINE = re.compile(r"^ # window_rejection: kept (.{6}) of (.{6}) windows after (.{3}) "
                             r"iterations at (.{8}) s\.d\.$")
_AZIMUTH_COUNT = re.compile(r"^ # n_azimuths: (.{6})  azimuth_step: (.{8})\s*$")
_AZIMUTH_FO = re.compile(
    r"^ # azimuth: (.{7})  Fo: (.{9}) range \+/- 1 s\.d\.: (.{9}) - (.{9}) \[Hz\]\s*$")
_E_FIELD = re.compile(r"^(-?\d?\.\d{7})(?:E([+-]\d{2})|([+-]\d{3}))$")
_VALUE = r"\s+(?:-?\d?\.\d{7}(?:E[+-]\d{2}|[+-]\d{3})|NaN|-?Inf(?:inity)?|\*+)"
_ROWS = {}  # row patterns by number of values


class ResultError(Exception):
    """A result file that cannot be used; the message is one line."""


@dataclass
class Table:
    """Rows of seven columns: the frequency and six values."""

    freq: list
    columns: list  # six lists, one per value column


@dataclass
class WindowSpan:
    """One window as the result header lists it."""

    number: int  # from 1, in window-file order
    recording: str
    start: float  # seconds from the recording's first sample (two decimals)
    end: float


@dataclass
class Rejection:
    """What window_rejection did: the windows it removed from every average and from Fo."""

    kept_count: int
    iterations: int
    n_sd: float
    rejected: list  # window numbers, increasing


@dataclass
class AveragedHV:
    path: str
    n_windows: int  # all windows of the run, rejected ones included
    window_len: float
    labels: list
    fo: float  # None when ratiospec wrote -9
    fo_minus: float
    fo_plus: float
    table: Table
    windows: list = field(default_factory=list)  # WindowSpan, n_windows of them
    rejection: Rejection = None  # None when the run had no window_rejection

    @property
    def n_kept(self):
        """The windows behind the averages, the deviation factors and Fo."""
        return self.n_windows if self.rejection is None else self.rejection.kept_count

    def kept(self, number):
        return self.rejection is None or number not in self.rejection.rejected

    @property
    def freq(self):
        return self.table.freq

    @property
    def hv(self):
        return self.table.columns[0]

    @property
    def sigma(self):
        """Deviation factor of av_HV: the band is hv/sigma .. hv*sigma."""
        return self.table.columns[3]


@dataclass
class Spectra:
    path: str
    table: Table


@dataclass
class WindowCurves:
    """The merged H/V of every window, all on the averaged file's rows."""

    paths: list = field(default_factory=list)
    curves: list = field(default_factory=list)


def read_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except IsADirectoryError:
        raise ResultError(f"{path} is a folder, not a result file") from None
    except FileNotFoundError:
        raise ResultError(f"{path} does not exist") from None
    except OSError as e:
        raise ResultError(f"{path} cannot be read: {e.strerror}") from None


def _fixed(text):
    """An Fw.d field; a field of asterisks (too wide to print) is unknown."""
    text = text.strip()
    if text and set(text) == {"*"}:
        return math.nan
    return float(text)


def _exponent_field(text):
    """A table value as ratiospec writes it: 0.1234567E+01 (0.1234567+100 past two exponent
    digits), NaN, Infinity or asterisks (unknown)."""
    try:
        return float(text)
    except ValueError:
        pass
    if set(text) == {"*"}:
        return math.nan
    match = _E_FIELD.match(text)
    return float(f"{match.group(1)}E{match.group(3)}")


def _row_values(line, width=7):
    """The values of a table row (width of them); a row that is not width such fields,
    as one cut short by a truncated file, raises ValueError."""
    pattern = _ROWS.setdefault(width, re.compile(f"^(?:{_VALUE}){{{width}}}\\s*$"))
    if not pattern.match(line):
        raise ValueError(line)
    return [_exponent_field(item) for item in line.split()]


def _integer(text, path, what):
    try:
        return int(text.strip())
    except ValueError:
        raise ResultError(f"{path}: unreadable {what} '{text.strip()}'") from None


def _find(lines, start, prefix, path, what):
    for k in range(start, len(lines)):
        if lines[k].startswith(prefix):
            return k
    raise ResultError(f"{path}: no {what} line (truncated or not written by ratiospec)")


def _rows(lines, start, count, path, width=7):
    """count rows of width values (the frequency first) from lines[start:]; short, long or
    broken tables are refused."""
    freq, columns = [], [[] for _ in range(width - 1)]
    body = [line for line in lines[start:] if line.strip()]
    if len(body) < count:
        raise ResultError(f"{path}: truncated: {len(body)} of {count} frequency rows")
    if len(body) > count:
        raise ResultError(f"{path}: {len(body)} frequency rows where the header says {count}")
    for k, line in enumerate(body):
        try:
            values = _row_values(line, width)
        except ValueError:
            raise ResultError(f"{path}: frequency row {k + 1} is not {width} numbers as "
                              "ratiospec writes them (truncated?)") from None
        if freq and not values[0] > freq[-1]:
            raise ResultError(f"{path}: frequencies do not increase at row {k + 1}")
        freq.append(values[0])
        for c in range(width - 1):
            columns[c].append(values[c + 1])
    return Table(freq, columns)


def _check_title(lines, title, path, kind):
    first = lines[0].strip() if lines else ""
    if first == title:
        return
    if first == SPECTRA_TITLE.strip() and kind == "averaged H/V":
        raise ResultError(f"{path} is ratiospec's averaged spectra file; "
                          "give the averaged H/V file")
    raise ResultError(f"{path} is not an {kind} file written by ratiospec")


def read_averaged_hv(path):
    lines = read_lines(path)
    _check_title(lines, HV_TITLE, path, "averaged H/V")
    # Keys are searched after the option echo, where window lines can no longer look like them.
    end = _find(lines, 1, END_SECTION, path, "end of the option section")
    k_nwin = _find(lines, end, " # n_windows:", path, "n_windows")
    k_len = _find(lines, end, " # window_len:", path, "window_len")
    k_fo = _find(lines, end, " # n_freq_samples:", path, "n_freq_samples")
    k_cols = _find(lines, k_fo, HV_COLUMNS, path, "column header")
    n_windows = _integer(lines[k_nwin][len(" # n_windows:") :], path, "n_windows")
    try:
        window_len = _fixed(lines[k_len][len(" # window_len:") :])
    except ValueError:
        window_len = math.nan
    if n_windows < 1 or not window_len > 0:
        raise ResultError(f"{path}: the header gives no windows or no window length")
    match = _FO_LINE.match(lines[k_fo])
    if not match:
        raise ResultError(f"{path}: the Fo line is not as ratiospec writes it")
    count = _integer(match.group(1), path, "n_freq_samples")
    try:
        fo, minus, plus = (_fixed(match.group(g)) for g in (2, 3, 4))
    except ValueError:
        raise ResultError(f"{path}: the Fo line holds a value that is not a number") from None
    if fo == NOT_FOUND:
        fo = minus = plus = None
    labels = _labels(lines, end)
    table = _rows(lines, k_cols + 1, count, path)
    windows, rejection = _window_lines(lines, path, n_windows)
    return AveragedHV(path, n_windows, window_len, labels, fo, minus, plus, table, windows,
                      rejection)


def _window_lines(lines, path, n_windows):
    """The header's window lines and rejection lines, which come before the first " #" line."""
    windows, counts, rejected = [], None, None
    for line in lines[1:]:
        if line.strip() == "#":
            break
        if line.startswith(" # rejected_windows:"):
            words = line[len(" # rejected_windows:") :].split()
            try:
                numbers = [] if words == ["none"] else [int(w) for w in words]
            except ValueError:
                raise ResultError(f"{path}: unreadable rejected_windows line") from None
            rejected = (rejected or []) + numbers
            continue
        match = _REJECTION_LINE.match(line)
        if match:
            try:
                counts = [int(match.group(k)) for k in (1, 2, 3)] + [float(match.group(4))]
            except ValueError:
                raise ResultError(f"{path}: unreadable window_rejection line") from None
            continue
        match = _WINDOW_LINE.match(line)
        if match:
            try:
                start, end = _fixed(match.group(2)), _fixed(match.group(3))
            except ValueError:
                raise ResultError(f"{path}: unreadable window line {len(windows) + 1}") from None
            windows.append(WindowSpan(len(windows) + 1, match.group(1), start, end))
    if len(windows) != n_windows:
        raise ResultError(f"{path}: the header lists {len(windows)} windows where n_windows "
                          f"says {n_windows}")
    if counts is None and rejected is None:
        return windows, None
    # Counts that do not add up would silently mark the wrong windows.
    if counts is None or rejected is None or counts[1] != n_windows or \
            counts[0] + len(rejected) != n_windows or rejected != sorted(set(rejected)) or \
            any(not 1 <= w <= n_windows for w in rejected):
        raise ResultError(f"{path}: the window_rejection lines do not match the "
                          f"{n_windows} windows of the header")
    return windows, Rejection(counts[0], counts[2], counts[3], rejected)


def _labels(lines, start):
    """The four 12-character labels (three components, units), blanks trimmed."""
    for line in lines[start:]:
        if line.startswith(" # labels: "):
            rest = line[len(" # labels: ") :]
            return [rest[13 * k + 1 : 13 * k + 13].strip() for k in range(4)]
    return ["", "", "", ""]


def _read_counted(path, title, columns_prefix, kind):
    lines = read_lines(path)
    _check_title(lines, title, path, kind)
    k_count = _find(lines, 1, " # n_freq_samples:", path, "n_freq_samples")
    match = _COUNT_LINE.match(lines[k_count])
    if not match:
        raise ResultError(f"{path}: the n_freq_samples line is not as ratiospec writes it")
    count = _integer(match.group(1), path, "n_freq_samples")
    k_cols = _find(lines, k_count, columns_prefix, path, "column header")
    return _rows(lines, k_cols + 1, count, path)


def read_spectra(path):
    return Spectra(path, _read_counted(path, SPECTRA_TITLE, SPECTRA_COLUMNS, "averaged spectra"))


def window_file_name(base, w):
    return f"{base}_win_{w:03d}"


def same_grid(a, b):
    return len(a) == len(b) and all(math.isclose(x, y, rel_tol=1e-6) for x, y in zip(a, b))


def _beside(hv, suffix, read, panel, what):
    """The file OUT + suffix when it exists and shares the averaged rows (read by read);
    else None and why, naming the panel or the curves that are left out."""
    path = hv.path + suffix
    if not os.path.exists(path):
        return None, None
    try:
        found = read(path)
    except ResultError as e:
        return None, f"{e}; the {panel} panel is left out"
    if not same_grid(found.table.freq, hv.freq):
        return None, f"{path} has other frequency rows (another run?); the {what} are left out"
    return found, None


def spectra_beside(hv):
    """OUT_sp when it exists and belongs to this run (same rows); else None and why."""
    return _beside(hv, "_sp", read_spectra, "spectra", "spectra")


@dataclass
class Azimuths:
    """OUT_az: the H/V of the horizontal turned to each azimuth, with its Fo."""

    path: str
    step: float
    degrees: list
    fo: list  # (Fo, Fo-, Fo+) per azimuth; None where ratiospec wrote -9
    table: Table  # one column per azimuth


def read_azimuths(path):
    lines = read_lines(path)
    _check_title(lines, AZIMUTH_TITLE, path, "azimuthal H/V")
    end = _find(lines, 1, END_SECTION, path, "end of the option section")
    k_count = _find(lines, end, " # n_freq_samples:", path, "n_freq_samples")
    match = _COUNT_LINE.match(lines[k_count])
    if not match:
        raise ResultError(f"{path}: the n_freq_samples line is not as ratiospec writes it")
    count = _integer(match.group(1), path, "n_freq_samples")
    k_az = _find(lines, k_count, " # n_azimuths:", path, "n_azimuths")
    match = _AZIMUTH_COUNT.match(lines[k_az])
    try:
        n_az, step = int(match.group(1)), _fixed(match.group(2))
    except (AttributeError, ValueError):
        raise ResultError(f"{path}: the n_azimuths line is not as ratiospec writes it") from None
    if n_az < 1:
        raise ResultError(f"{path}: no azimuth")
    degrees, fo = [], []
    for k in range(k_az + 1, k_az + 1 + n_az):
        match = _AZIMUTH_FO.match(lines[k]) if k < len(lines) else None
        if not match:
            raise ResultError(f"{path}: azimuth line {k - k_az} of {n_az} is not as ratiospec "
                              "writes it (truncated?)")
        try:
            degrees.append(_fixed(match.group(1)))
            values = tuple(_fixed(match.group(g)) for g in (2, 3, 4))
        except ValueError:
            raise ResultError(f"{path}: azimuth line {k - k_az} holds a value that is not a "
                              "number") from None
        fo.append(None if values[0] == NOT_FOUND else values)
    k_cols = _find(lines, k_az + n_az, " #    freq", path, "column header")
    table = _rows(lines, k_cols + 1, count, path, n_az + 1)
    return Azimuths(path, step, degrees, fo, table)


def azimuths_beside(hv):
    """OUT_az when it exists and shares the averaged rows; else None and why."""
    return _beside(hv, "_az", read_azimuths, "azimuth", "azimuths")


def window_curves_beside(hv):
    """The per-window merged H/V when all n_windows files exist and share the averaged rows.

    Returns (curves or None, a one-line note or None). Files from another run (another
    window count or grid) are not drawn.
    """
    if not os.path.exists(window_file_name(hv.path, 1)):
        return None, None
    found = WindowCurves()
    for w in range(1, hv.n_windows + 1):
        path = window_file_name(hv.path, w)
        if not os.path.exists(path):
            return None, f"{path} is missing; the per-window curves are left out"
        try:
            table = _read_counted(path, WINDOW_TITLE, WINDOW_COLUMNS, "per-window H/V")
        except ResultError as e:
            return None, f"{e}; the per-window curves are left out"
        if not same_grid(table.freq, hv.freq):
            return None, (f"{path} has other frequency rows (another run?); "
                          "the per-window curves are left out")
        found.paths.append(path)
        found.curves.append(table.columns[0])
    return found, None
