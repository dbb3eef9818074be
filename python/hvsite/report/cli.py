# SPDX-License-Identifier: GPL-3.0-or-later
"""hvreport OUT [--windows WINDOW_FILE] [--figure FILE.png|.pdf|.svg] [--json FILE] [--hv FILE]

OUT is the averaged H/V file that ratiospec wrote; OUT_sp, OUT_az and OUT_win_NNN are
used when they exist. OUT may also be the block table of hvmonitor (with OUT_hv beside
it): the blocks are listed and the figure shows the H/V against time and frequency. Prints the criteria table; exit status 0, or 2 with a one-line
message when an input cannot be used or ratiospec found no Fo (the table is still
printed then, with the criteria that need Fo marked not evaluable).
"""

import argparse
import importlib.util
import sys

from . import criteria, figure, hvexport, monitor, outputs, report, results, traces, windows

USAGE = ("hvreport OUT [--windows WINDOW_FILE] [--figure FILE.png|.pdf|.svg] [--json FILE] "
         "[--hv FILE]")


class UsageError(Exception):
    pass


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise UsageError(message)


def _parser():
    p = _Parser(prog="hvreport", usage=USAGE,
                description="Peak criteria and figure of a ratiospec result.")
    p.add_argument("out", metavar="OUT", help="averaged H/V file written by ratiospec")
    p.add_argument("--windows", metavar="WINDOW_FILE",
                   help="window file: adds the recordings panel")
    p.add_argument("--figure", metavar="FILE", help="figure to write (.png, .pdf or .svg)")
    p.add_argument("--json", metavar="FILE", help="criteria and verdicts as JSON")
    p.add_argument("--hv", metavar="FILE",
                   help="the averaged curve as plain .hv text (frequency, average, min, max)")
    return p


def _check_outputs(args):
    if args.figure:
        why = figure.check_name(args.figure) or outputs.check_folder(args.figure, "figure")
        if why:
            return why
        if importlib.util.find_spec("matplotlib") is None:
            return "the figure needs matplotlib (Debian package python3-matplotlib)"
    for path, what in ((args.json, "JSON file"), (args.hv, ".hv file")):
        why = path and outputs.check_folder(path, what)
        if why:
            return why
    return None


def _window_file_mismatch(hv, recordings):
    """None when the window file's windows are the run's windows, else the reason."""
    drawn = [w for r in recordings for w in r.windows]
    if len(drawn) != hv.n_windows:
        return f"it holds {len(drawn)} windows, the run {hv.n_windows}"
    for start, end, number in drawn:
        span = hv.windows[number - 1] if number and number <= hv.n_windows else None
        # The result header keeps two decimals.
        if span is None or abs(span.start - start) > 0.006 or abs(span.end - end) > 0.006:
            return f"window {number} is not the run's window {number}"
    return None


def _run(args, out, err):
    """The report; raises ResultError, TraceError or OSError for what cannot be used."""
    if monitor.is_monitor(args.out):
        return monitor.run(args, out)
    hv = results.read_averaged_hv(args.out)
    recordings = traces.read_traces(args.windows) if args.windows else []
    # Rejected windows are in no average, so they count for no criterion either.
    a = criteria.assess(hv.freq, hv.hv, hv.sigma, hv.window_len, hv.n_kept, hv.fo_minus,
                        hv.fo_plus)
    notes = []
    curves, spectra = None, None
    if args.figure or args.json:
        curves, note = results.window_curves_beside(hv)
        notes.append(note)
    if args.figure:
        spectra, note = results.spectra_beside(hv)
        notes.append(note)
    azimuths, note = results.azimuths_beside(hv)
    notes.append(note)
    if recordings and hv.rejection is not None:
        why = _window_file_mismatch(hv, recordings)
        if why:
            notes.append(f"window file {args.windows} is not the run's ({why}); rejected windows "
                         "are not marked in the recordings")
            for r in recordings:
                r.windows = [(start, end, None) for start, end, _ in r.windows]
    for note in filter(None, notes):
        print(f"hvreport: note: {note}", file=err)
    peaks = windows.window_peaks(hv, curves, None if a.peak is None else a.peak.f0)
    print("\n".join(report.table_lines(hv, a, azimuths)), file=out)
    if args.figure:
        figure.save(figure.draw(hv, a, curves, spectra, recordings, azimuths), args.figure)
        print(f"figure: {args.figure}", file=out)
    if args.hv:
        hvexport.write(args.hv, hv, a)
        print(f"hv: {args.hv}", file=out)
    if args.json:
        outputs.write_text(args.json, report.report_json(hv, a, args.figure, peaks, azimuths,
                                                         args.hv))
        print(f"json: {args.json}", file=out)
    if hv.fo is None:
        print(f"hvreport: {args.out}: ratiospec found no Fo (-9); the criteria that need it "
              "are not evaluable", file=err)
        return 2
    return 0


def main(argv, out=sys.stdout, err=sys.stderr):
    try:
        args = _parser().parse_args(argv)
    except UsageError as e:
        print(f"hvreport: {e} (use: {USAGE})", file=err)
        return 2
    why = _check_outputs(args)
    if why:
        print(f"hvreport: {why}", file=err)
        return 2
    try:
        return _run(args, out, err)
    except (results.ResultError, traces.TraceError) as e:
        print(f"hvreport: {e}", file=err)
    except OSError as e:
        print(f"hvreport: {e.filename or ''}: {e.strerror}", file=err)
    return 2
