// The page's side of tests/share_test.cpp, which checks that links made by
// either side open on the other, refused for the same reasons:
//   node share-cross.js open FILE         each line of FILE a link; prints a
//                                         line each: "game TURN BYTES" (the
//                                         game in base64url) or "problem TEXT"
//   node share-cross.js make FILE TURN    prints the link of the game in FILE
import { readFileSync } from 'node:fs';
import { makeLink, openLink, toBase64url } from '../js/share.js';

const [mode, file, turn] = process.argv.slice(2);
if (mode === 'open') {
  for (const link of readFileSync(file, 'latin1').split('\n').slice(0, -1)) {
    const opened = await openLink(link);
    console.log('problem' in opened ? 'problem ' + opened.problem : 'game ' + opened.turn + ' ' + toBase64url(opened.bytes));
  }
} else if (mode === 'make') {
  const made = await makeLink('https://example.invalid/delve/', new Uint8Array(readFileSync(file)), Number(turn));
  if ('problem' in made) throw new Error(made.problem);
  console.log(made.link);
} else {
  throw new Error('usage: node share-cross.js open FILE | make FILE TURN');
}
