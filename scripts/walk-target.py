#!/usr/bin/env python3
"""Picks a click target for scripts/walk-e2e from the last line of a trace:
a seen cell 3 to 8 free steps from the party, with no monster within 6 cells
of the way, so nothing should stop the walk early. Prints "X Y STEPS"."""
import json
import sys
from collections import deque

FREE = {219, 247, 45, 248, 236, 244, 231, 241}  # floor, stairs, open door, items
MONSTERS = {253, 240, 243, 224, 227}

frame = json.loads(open(sys.argv[1]).read().splitlines()[-1])
cells, seen = frame["levelMap"], frame["seenMap"]
px, py = int(frame["partyX"]), int(frame["partyY"])
monsters = [(x, y) for y, row in enumerate(cells) for x, c in enumerate(row) if c in MONSTERS]


def free(x, y):
    return 2 <= x <= 39 and 2 <= y <= 24 and seen[y][x] and cells[y][x] in FREE


steps = {(px, py): 0}
todo = deque([(px, py)])
while todo:
    x, y = todo.popleft()
    for nx, ny in ((x, y - 1), (x + 1, y), (x, y + 1), (x - 1, y)):
        if (nx, ny) not in steps and free(nx, ny):
            steps[(nx, ny)] = steps[(x, y)] + 1
            todo.append((nx, ny))
best = None
for (x, y), n in steps.items():
    if not 3 <= n <= 8 or any(abs(mx - x) + abs(my - y) < 12 for mx, my in monsters):
        continue
    if best is None or n > best[2]:
        best = (x, y, n)
if best is None:
    sys.exit(1)
print(*best)
