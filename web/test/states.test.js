import { test } from 'node:test';
import assert from 'node:assert/strict';
import { TRANSITIONS, createMachine } from '../js/states.js';

function walk(events) {
  const seen = [];
  const machine = createMachine('loading', (to, from, event) => seen.push(from + ' -' + event + '-> ' + to));
  const taken = events.map((event) => machine.step(event));
  return { machine, seen, taken };
}

test('the start-ups a player meets, step by step', () => {
  assert.equal(walk(['ready', 'launch', 'attached', 'ended']).machine.state(), 'ended', 'a first visit');
  assert.equal(walk(['ready', 'offer', 'launch', 'attached']).machine.state(), 'running', 'Continue');
  // A game open in another page: refused, the choice is offered again.
  const refused = walk(['ready', 'offer', 'launch', 'offer', 'launch', 'attached']);
  assert.deepEqual(refused.seen.slice(3, 5), ['starting -offer-> choosing', 'choosing -launch-> starting']);
});

test('an event a state does not take changes nothing', () => {
  // The program cannot be started twice in one load, nor a game end twice.
  const { machine, taken, seen } = walk(['ready', 'launch', 'attached', 'launch', 'ended', 'ended', 'attached']);
  assert.deepEqual(taken, [true, true, true, false, true, false, false]);
  assert.equal(machine.state(), 'ended');
  assert.equal(seen.length, 4);
});

test('every state but failed can fail, and failed is the end', () => {
  for (const state of Object.keys(TRANSITIONS)) {
    const machine = createMachine(state, () => {});
    assert.equal(machine.step('fail'), state !== 'failed', state);
    assert.equal(machine.state(), 'failed');
    for (const event of ['ready', 'offer', 'launch', 'attached', 'ended', 'fail']) assert.equal(machine.can(event), false);
  }
});

test('every state is reached from loading', () => {
  const reached = new Set(['loading']);
  let grew = true;
  while (grew) {
    grew = false;
    for (const from of reached) {
      for (const to of Object.values(TRANSITIONS[from])) {
        if (!reached.has(to)) { reached.add(to); grew = true; }
      }
    }
  }
  assert.deepEqual([...reached].sort(), Object.keys(TRANSITIONS).sort());
});
