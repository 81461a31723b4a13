#!/usr/bin/env python3
"""Picks a click target for scripts/walk-e2e from the last line of a trace:
a seen cell 3 to 8 free steps from the party, with no monster within 6 cells
of the way, so nothing should stop the walk early. Prints "X Y STEPS".

With --next X Y it prints instead the walk's next key toward (X, Y) from
that frame (ties go to 8, 6, 2, 4 in that order, as the game's), or nothing
when there is no path: scripts/e2e/web/touch.py follows a walk it cannot see."""
import json
import sys
from collections import deque

FREE = {219, 247, 45, 248, 236, 244, 231, 241}  # floor, stairs, open door, items
MONSTERS = {253, 240, 243, 224, 227}

frame = json.loads(open(sys.argv[1]).read().splitlines()[-1])
toward = (int(sys.argv[3]), int(sys.argv[4])) if len(sys.argv) == 5 and sys.argv[2] == "--next" else None
cells, seen = frame["levelMap"], frame["seenMap"]
px, py = int(frame["partyX"]), int(frame["partyY"])
monsters = [(x, y) for y, row in enumerate(cells) for x, c in enumerate(row) if c in MONSTERS]


def free(x, y):
    return 2 <= x <= 39 and 2 <= y <= 24 and seen[y][x] and cells[y][x] in FREE


if toward:
    distance = {toward: 0} if free(*toward) else {}
    todo = deque(distance)
    while todo:
        x, y = todo.popleft()
        for nx, ny in ((x, y - 1), (x + 1, y), (x, y + 1), (x - 1, y)):
            if (nx, ny) not in distance and free(nx, ny):
                distance[(nx, ny)] = distance[(x, y)] + 1
                todo.append((nx, ny))
    moves = [(key, distance[(px + dx, py + dy)]) for key, dx, dy in
             (("8", 0, -1), ("6", 1, 0), ("2", 0, 1), ("4", -1, 0)) if (px + dx, py + dy) in distance]
    if (px, py) != toward and moves:
        print(min(moves, key=lambda m: m[1])[0])
    sys.exit(0)

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
