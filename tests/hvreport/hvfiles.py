# SPDX-License-Identifier: GPL-3.0-or-later
"""Hand-made result files in ratiospec's layout, and ways to run the commands."""

import math
import os
import subprocess

OPTIONS = ["# freq_spacing:", "# offset_rem:", "# taper:", "# smooth:", "# merge_type:",
           "# single_win_out:", "# average_spectra_out:"]
HV_COLUMNS = (" #    freq           av_HV           ns_HV           ew_HV       av_HV_logstd    "
              "ns_HV_logstd    ew_HV_logstd")


def e15(x):
    """A blank and x as a 15-wide field in the form 0.1234567E+01."""
    if x == 0:
        return " " + "0.0000000E+00".rjust(15)
    mantissa, exponent = f"{abs(x):.6e}".split("e")
    e = int(exponent) + 1
    sign = "-" if x < 0 else ""
    text = f"{sign}0.{mantissa.replace('.', '')}E{'-' if e < 0 else '+'}{abs(e):02d}"
    return " " + text.rjust(15)


def averaged_hv_text(freq, hv, sigma, lw=20.0, nw=20, fo=(2.5, 2.45, 2.55)):
    """An averaged H/V file: av_HV = hv, its deviation factor = sigma; fo is (Fo, Fo-, Fo+),
    -9 for all three when not found. The component columns hold other values (half and a
    quarter of hv, deviation factor 9) so that reading the wrong column shows."""
    fo, minus, plus = fo
    lines = [" ### data used in the H/V ratio processing:"]
    lines += [f" # site.kaf {20.0 * k:13.2f}{20.0 * k + lw:13.2f} Z   NS  EW  TES"
              for k in range(nw)]
    lines += [" #", " # parameters actually used in the processing:", " ### section processing"]
    lines += [f" {key}{'value':<80}" for key in OPTIONS]
    lines += [" ### end processing", " #" + "-" * 30, f" # n_windows: {nw:6d}",
              f" # window_len: {lw:10.3f}", " # labels:  " + " ".join(f"{x:<12}" for x in "ZNE") +
              f" {'m/s':<12}",
              f" # n_freq_samples: {len(freq):6d}  Fo: {fo:9.4f} range +/- 1 s.d.: {minus:9.4f} - "
              f"{plus:9.4f} [Hz]", HV_COLUMNS]
    lines += ["".join(e15(x) for x in (f, a, a / 2, a / 4, s, 9.0, 9.0))
              for f, a, s in zip(freq, hv, sigma)]
    return "\n".join(lines) + "\n"


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def log_grid(f0, per_factor_4=40, below=100, above=100):
    """f0 * 4**(k/per_factor_4): f0/4 and 4*f0 fall on rows exactly."""
    return [f0 * 4.0 ** (k / per_factor_4) for k in range(-below, above + 1)]


def lognormal_peak(freq, f0, a0, width_below, width_above):
    """1 + (a0-1) exp(-ln(f/f0)^2 / (2 w^2)), with its own width on each side of f0."""
    out = []
    for f in freq:
        x = math.log(f / f0)
        w = width_below if x < 0 else width_above
        out.append(1.0 + (a0 - 1.0) * math.exp(-x * x / (2.0 * w * w)))
    return out


def bin_dir():
    return os.environ.get("HV_BIN", os.path.join(os.path.dirname(__file__), "..", "..", "build",
                                                 "bin"))


def run_hvreport(args, cwd=None):
    """Runs the built command (the CMake wrapper) and returns the CompletedProcess."""
    return subprocess.run([os.path.join(bin_dir(), "hvreport"), *args], cwd=cwd,
                          capture_output=True, text=True, check=False)


def run_tool(name, args, cwd=None):
    return subprocess.run([os.path.join(bin_dir(), name), *args], cwd=cwd, capture_output=True,
                          text=True, check=False)
