# SPDX-License-Identifier: GPL-3.0-or-later
"""hvreport OUT [--windows WINDOW_FILE] [--figure FILE.png|.pdf|.svg] [--json FILE]

OUT is the averaged H/V file that ratiospec wrote; OUT_sp and OUT_win_NNN are used
when they exist. Prints the criteria table; exit status 0, or 2 with a one-line
message when an input cannot be used or ratiospec found no Fo (the table is still
printed then, with the criteria that need Fo marked not evaluable).
"""

import argparse
import importlib.util
import sys

from . import criteria, figure, outputs, report, results, traces

USAGE = "hvreport OUT [--windows WINDOW_FILE] [--figure FILE.png|.pdf|.svg] [--json FILE]"


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
    return p


def _check_outputs(args):
    if args.figure:
        why = figure.check_name(args.figure) or outputs.check_folder(args.figure, "figure")
        if why:
            return why
        if importlib.util.find_spec("matplotlib") is None:
            return "the figure needs matplotlib (Debian package python3-matplotlib)"
    if args.json:
        return outputs.check_folder(args.json, "JSON file")
    return None


def _run(args, out, err):
    """The report; raises ResultError, TraceError or OSError for what cannot be used."""
    hv = results.read_averaged_hv(args.out)
    recordings = traces.read_traces(args.windows) if args.windows else []
    a = criteria.assess(hv.freq, hv.hv, hv.sigma, hv.window_len, hv.n_windows, hv.fo_minus,
                        hv.fo_plus)
    print("\n".join(report.table_lines(hv, a)), file=out)
    if args.figure:
        windows, note_w = results.window_curves_beside(hv)
        spectra, note_s = results.spectra_beside(hv)
        for note in (note_w, note_s):
            if note:
                print(f"hvreport: note: {note}", file=err)
        figure.save(figure.draw(hv, a, windows, spectra, recordings), args.figure)
        print(f"figure: {args.figure}", file=out)
    if args.json:
        outputs.write_text(args.json, report.report_json(hv, a, args.figure))
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
