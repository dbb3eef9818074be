# SPDX-License-Identifier: GPL-3.0-or-later
"""H/V spectral ratios from ambient vibration, the programs' computation as calls.

    rec = hvsite.read("site.miniseed")                 # or hvsite.Recording(z, ns, ew, dt)
    windows = hvsite.select_windows(rec, tlong=60.0)   # calmpick's values and defaults
    result = hvsite.compute(rec, windows, freq_spacing="log:0.3:40:2048")
    print(result.fo, result.criteria().reliable)
    result.write("site_hv")                            # ratiospec's result files

Every refusal raises HvError (a ValueError) with the programs' text; the programs'
warnings become HvWarning warnings.
"""

import os as _os
import warnings as _warnings

import numpy as _np

from . import _hvsite

HvError = _hvsite.HvError
HvError.__module__ = __name__

__all__ = ["HvError", "HvWarning", "Recording", "read", "select_windows", "compute", "Result",
           "MonitorResult", "read_result"]

FORMATS = {"gse": 1, "kaf": 2, "duneheron": 3, "miniseed": 4}


class HvWarning(UserWarning):
    """A warning of the computation, worded as the programs print it."""


def _warn(texts, stacklevel=3):
    for text in texts:
        _warnings.warn(text, HvWarning, stacklevel=stacklevel)


def _channels(channels):
    channels = ("", "", "") if channels is None else tuple(channels)
    if len(channels) != 3 or not all(isinstance(c, str) for c in channels):
        raise HvError("channels: three channel codes (vertical, north-south, east-west) are needed")
    return list(channels)


class Recording:
    """Three components with one sampling interval.

    Recording(z, ns, ew, dt) takes any three one-dimensional real arrays of one length
    (any dtype or strides; converted once to single precision) and dt in seconds, for
    example ObsPy traces' tr.data and tr.stats.delta. There is no length limit.
    z, ns and ew are read-only float32 arrays.
    """

    def __init__(self, z, ns, ew, dt, *, name="", channels=None, station="",
                 start_time=None):
        arrays = [_np.asarray(x) for x in (z, ns, ew)]
        try:
            dt = float(dt)
        except (TypeError, ValueError):
            raise HvError(f"the sampling interval {dt!r} is not a number") from None
        self._core = _hvsite.make_recording(*arrays, dt, str(name), _channels(channels),
                                            str(station),
                                            None if start_time is None else float(start_time))

    @classmethod
    def _of(cls, core):
        rec = cls.__new__(cls)
        rec._core = core
        return rec

    z = property(lambda self: self._core.z)
    ns = property(lambda self: self._core.ns)
    ew = property(lambda self: self._core.ew)
    dt = property(lambda self: self._core.dt, doc="sampling interval, seconds")
    name = property(lambda self: self._core.name, doc="the file read, or the name given")
    format = property(lambda self: {v: k for k, v in FORMATS.items()}.get(self._core.format),
                      doc="the format read, None for arrays")
    channels = property(lambda self: tuple(self._core.channels))
    station = property(lambda self: self._core.station)
    site = property(lambda self: self._core.site,
                    doc='where the file says it was made: "NET.STA", the station alone, or ""')
    labels = property(lambda self: tuple(self._core.labels),
                      doc="the three component labels and the units label")
    start_time = property(lambda self: self._core.start_time,
                          doc="UTC of the first sample, seconds since 1970, where known")

    def __len__(self):
        return len(self._core)

    def __repr__(self):
        return (f"<hvsite.Recording {self.name or 'from arrays'}: {len(self)} samples at "
                f"dt={self.dt} s>")


def read(path, format=None, *, channels=None, station=""):
    """Reads a recording through the programs' readers.

    format: "kaf", "gse", "duneheron" or "miniseed"; None guesses it as calmpick does.
    channels (three codes) and station choose within a file as a window line does.
    """
    if format is None:
        code = 0
    elif str(format).lower() in FORMATS:
        code = FORMATS[str(format).lower()]
    else:
        raise HvError(f"format {format!r} is none of {', '.join(FORMATS)}")
    return Recording._of(_hvsite.read(str(path), code, _channels(channels), str(station)))


def select_windows(recording, *, tsta=None, tlta=None, ratmin=None, ratmax=None, tlong=None,
                   overlap=None, isatur=None, iltalev=None, tbad=None):
    """Calm windows by the STA/LTA anti-trigger, with calmpick's nine values (None:
    calmpick's default).

    Returns a float32 array of rows (start, end) in seconds from the first sample:
    the times calmpick writes into its window file.
    """
    values = [tsta, tlta, ratmin, ratmax, tlong, overlap, isatur, iltalev, tbad]
    try:
        values = [None if v is None else float(v) for v in values]
    except (TypeError, ValueError):
        raise HvError("the selection values must be numbers") from None
    for name, v in (("isatur", values[6]), ("iltalev", values[7])):
        if v is not None and not v.is_integer():
            raise HvError(f"{name} must be a whole number")
    windows, notes = _hvsite.select_windows(_core_of(recording), values)
    _warn(notes)
    return windows


def _core_of(recording):
    if not isinstance(recording, Recording):
        raise HvError("a recording is needed (hvsite.read or hvsite.Recording)")
    return recording._core


def compute(recordings, windows, *, threads=0, freq_spacing=None, offset_rem=None, taper=None,
            smooth=None, merge_type=None, single_win_out=None, average_spectra_out=None,
            window_rejection=None, azimuth_step=None):
    """H/V of the windows, with ratiospec's options (the same texts; None keeps its default).

    recordings is one Recording with windows one array of (start, end) rows, or a list of
    recordings with one such array each. threads=0 uses every core; the result does not
    depend on it.
    """
    options = {"freq_spacing": freq_spacing, "offset_rem": offset_rem, "taper": taper,
               "smooth": smooth, "merge_type": merge_type, "single_win_out": single_win_out,
               "average_spectra_out": average_spectra_out,
               "window_rejection": window_rejection, "azimuth_step": azimuth_step}
    given = {k: str(v) for k, v in options.items() if v is not None}
    if isinstance(recordings, Recording):
        recordings, windows = [recordings], [windows]
    cores = [_core_of(r) for r in recordings]
    try:
        windows = [_np.asarray(w, dtype=_np.float64) for w in windows]
    except (TypeError, ValueError):
        raise HvError("windows are rows of start and end seconds") from None
    windows = [w.reshape(-1, 2) if w.size == 0 else w for w in windows]
    if not isinstance(threads, int) or isinstance(threads, bool):
        raise HvError("threads must be a whole number")
    core, notes = _hvsite.compute(cores, windows, given, threads)
    _warn(notes)
    result = Result(core)
    result._window_counts = [len(w) for w in windows]
    return result


class Result:
    """One H/V computation. Arrays hold the valid rows of the frequency grid only, as
    the result files do; components are ordered merged (or vertical for spectra),
    north-south, east-west. Computed by compute() or read back by read_result()."""

    def __init__(self, core):
        self._core = core
        self.name = "computed"  # the H/V file written or read; the figure's title names it
        self.freq = core.freq
        self.mean, self.sd = core.mean, core.sd  # geometric means and deviation factors
        self.spectra_mean, self.spectra_sd = core.spectra_mean, core.spectra_sd
        self.window_ratios = core.window_ratios  # (window, component, row)
        self.window_spectra = core.window_spectra
        self.fo, self.fo_minus, self.fo_plus = core.fo  # -9 when there is none
        self.windows = _np.array(core.windows, dtype=_np.float32).reshape(-1, 2)
        self.recording_names = list(core.recording_names)
        self.kept = _np.array(core.kept, dtype=bool)
        self.rejection = core.rejection  # (n_sd, rounds) when windows were judged
        self.window_len = core.window_len
        self.labels = tuple(core.labels)
        self.azimuths = _np.array(core.azimuths)
        self.azimuth_mean = core.azimuth_mean  # (azimuth, row)
        self.azimuth_fo = _np.array(core.azimuth_fo, dtype=_np.float32).reshape(-1, 3)

    @property
    def n_windows(self):
        return len(self.windows)

    @property
    def n_kept(self):
        return int(self.kept.sum())

    def write(self, output):
        """Writes ratiospec's result files named from output: the H/V file, and as the
        options asked _sp, _win_NNN and _az. All of them or none."""
        if self._core is None:
            raise HvError("a result read from files cannot be written again; copy the files")
        _warn(self._core.write(str(output)), stacklevel=2)
        self.name = str(output)

    def criteria(self):
        """The peak criteria of the averaged curve, as hvreport judges them."""
        from .report import criteria

        fo = None if self.fo == -9 else self.fo
        return criteria.assess(list(map(float, self.freq)), list(map(float, self.mean[0])),
                               list(map(float, self.sd[0])), float(self.window_len),
                               self.n_kept, None if fo is None else float(self.fo_minus),
                               None if fo is None else float(self.fo_plus))

    def figure(self, recordings=()):
        """hvreport's figure (H/V with the windows' curves, azimuths and spectra) as a
        matplotlib Figure; the recordings given to compute(), in its order, add their
        panels with the windows marked."""
        from .report import figure, traces
        hv, a, curves, spectra = self._report_inputs()
        if isinstance(recordings, Recording):
            recordings = [recordings]
        counts = getattr(self, "_window_counts", None)
        if recordings and (counts is None or len(counts) != len(recordings)):
            raise HvError("figure: give the recordings of the computation, in its order")
        drawn, first = [], 0
        for rec, count in zip(recordings, counts or []):
            spans = [(float(s), float(e), first + k + 1)
                     for k, (s, e) in enumerate(self.windows[first:first + count])]
            drawn.append(traces.envelope(_core_of(rec), spans))
            first += count
        return figure.draw(hv, a, curves, spectra, drawn, self._report_azimuths())

    def _report_inputs(self):
        from .report import results

        names = self.recording_names
        spans = [results.WindowSpan(k + 1, names[k], float(s), float(e))
                 for k, (s, e) in enumerate(self.windows)]
        rejection = None
        if self.rejection is not None:
            n_sd, rounds = self.rejection
            rejection = results.Rejection(self.n_kept, rounds, n_sd,
                                          [k + 1 for k in range(self.n_windows)
                                           if not self.kept[k]])
        table = results.Table(list(map(float, self.freq)),
                              [list(map(float, c)) for c in (*self.mean, *self.sd)])
        fo = None if self.fo == -9 else float(self.fo)
        hv = results.AveragedHV(self.name, self.n_windows, float(self.window_len), list(self.labels),
                                fo, float(self.fo_minus), float(self.fo_plus), table, spans,
                                rejection)
        curves = results.WindowCurves([""] * self.n_windows,
                                      [list(map(float, w[0])) for w in self.window_ratios])
        spectra = None
        if _np.any(self.spectra_mean):
            spectra = results.Spectra("", results.Table(
                table.freq, [list(map(float, c)) for c in (*self.spectra_mean,
                                                           *self.spectra_sd)]))
        return hv, self.criteria(), curves, spectra

    def _report_azimuths(self):
        if len(self.azimuths) == 0:
            return None
        from .report import results

        fo = [None if f[0] == -9 else tuple(map(float, f)) for f in self.azimuth_fo]
        step = float(self.azimuths[1] - self.azimuths[0]) if len(self.azimuths) > 1 else 180.0
        table = results.Table(list(map(float, self.freq)),
                              [list(map(float, c)) for c in self.azimuth_mean])
        return results.Azimuths("", step, list(map(float, self.azimuths)), fo, table)


class MonitorResult:
    """hvmonitor's result as arrays: per block its start and end (UTC, datetime64 in
    ms), seconds of data, windows kept and selected, Fo and its band (NaN without a
    result), the reliability verdict, the clear-peak count and the note; and the
    averaged H/V per block, hv[block, row] on the rows of freq (NaN without a result)."""

    def __init__(self, m):
        def column(name, dtype):
            return _np.array([getattr(b, name) for b in m.blocks], dtype=dtype)

        def time(name):
            return _np.array([getattr(b, name).replace(tzinfo=None) for b in m.blocks],
                             dtype="datetime64[ms]")

        self.name, self.station = m.path, m.station
        self.start, self.end = time("start"), time("end")
        self.seconds = column("seconds", _np.float64)
        self.kept, self.selected = column("kept", _np.int64), column("selected", _np.int64)
        self.fo = _np.array([_np.nan if b.fo is None else b.fo for b in m.blocks])
        self.fo_low = _np.where(_np.isnan(self.fo), _np.nan, column("fo_low", _np.float64))
        self.fo_high = _np.where(_np.isnan(self.fo), _np.nan, column("fo_high", _np.float64))
        self.reliable, self.clear_peaks = [b.reliable for b in m.blocks], [b.clear for b in m.blocks]
        self.notes = [b.note for b in m.blocks]
        self.freq = _np.array(m.freq, dtype=_np.float32)
        self.hv = _np.array([_np.full(len(m.freq), _np.nan) if c is None else c
                             for c in m.columns], dtype=_np.float32).reshape(-1, len(m.freq))


def read_result(path):
    """Reads ratiospec's result files (path and the _sp, _win_NNN and _az files beside
    it, where they exist) into a Result, arrays a file did not hold being empty; or
    hvmonitor's block table (with path_hv beside it) into a MonitorResult."""
    from .report import monitor, results

    if monitor.is_monitor(str(path)):
        try:
            return MonitorResult(monitor.read_monitor(str(path)))
        except results.ResultError as e:
            raise HvError(str(e)) from None
        except OSError as e:
            raise HvError(f"{e.filename}: {e.strerror}") from None

    def table(t, first, count=3):
        return _np.array(t.columns[first:first + count], dtype=_np.float32)

    try:
        hv = results.read_averaged_hv(str(path))
        n, rows = hv.n_windows, len(hv.freq)
        none = _np.empty((3, 0), dtype=_np.float32)
        res = Result.__new__(Result)
        res._core = None
        res.name = str(path)
        res.freq = _np.array(hv.freq, dtype=_np.float32)
        res.mean, res.sd = table(hv.table, 0), table(hv.table, 3)
        spectra, _ = results.spectra_beside(hv)
        res.spectra_mean, res.spectra_sd = ((table(spectra.table, 0), table(spectra.table, 3))
                                            if spectra else (none, none))
        res.window_ratios = _np.empty((0, 3, rows), dtype=_np.float32)
        res.window_spectra = res.window_ratios
        if _os.path.exists(results.window_file_name(hv.path, 1)):
            tables = [results._read_counted(results.window_file_name(hv.path, w),
                                            results.WINDOW_TITLE, results.WINDOW_COLUMNS,
                                            "per-window H/V") for w in range(1, n + 1)]
            res.window_ratios = _np.array([table(t, 0) for t in tables])
            res.window_spectra = _np.array([table(t, 3) for t in tables])
        res.fo, res.fo_minus, res.fo_plus = ((-9.0,) * 3 if hv.fo is None
                                             else (hv.fo, hv.fo_minus, hv.fo_plus))
        res.windows = _np.array([(w.start, w.end) for w in hv.windows],
                                dtype=_np.float32).reshape(-1, 2)
        res.recording_names = [w.recording for w in hv.windows]
        res.kept = _np.array([hv.kept(w) for w in range(1, n + 1)])
        res.rejection = (None if hv.rejection is None
                         else (hv.rejection.n_sd, hv.rejection.iterations))
        res.window_len, res.labels = hv.window_len, tuple(hv.labels)
        azimuths, _ = results.azimuths_beside(hv)
        res.azimuths = _np.array(azimuths.degrees if azimuths else [])
        res.azimuth_mean = (_np.array(azimuths.table.columns, dtype=_np.float32) if azimuths
                            else _np.empty((0, rows), dtype=_np.float32))
        res.azimuth_fo = _np.array([f or (-9.0,) * 3 for f in azimuths.fo] if azimuths else [],
                                   dtype=_np.float32).reshape(-1, 3)
        return res
    except results.ResultError as e:
        raise HvError(str(e)) from None
    except OSError as e:
        raise HvError(f"{e.filename}: {e.strerror}") from None
