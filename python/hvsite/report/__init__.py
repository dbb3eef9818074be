# SPDX-License-Identifier: GPL-3.0-or-later
"""Site report of a ratiospec result: peak criteria table, figure and JSON
(`python -m hvsite.report`, the hvreport command)."""
