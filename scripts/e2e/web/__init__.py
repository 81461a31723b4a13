"""The browser build, end to end (scripts/web-e2e): the page served on
127.0.0.1 and played in headless Chromium as a player would, every picture
held against delve-replay's. Each module checks one concern: play, touch,
own_data, kept and kept_more, app. Timings and memory are not checked here:
scripts/measure/page.py measures them against their budgets."""
