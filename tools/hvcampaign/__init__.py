# SPDX-License-Identifier: GPL-3.0-or-later
"""hvcampaign: calmpick, ratiospec and the site report for every station of a table."""
