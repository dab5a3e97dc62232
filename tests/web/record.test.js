// `node cellshow.js --record` against the native build's `--record`: the same
// bytes from the same data, and the same answers to bad command lines.
'use strict';
const {describe, test} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const w = require('./support');

// Records with both builds from `cwd` and compares the files byte by byte.
function assertSameRecording(args, cwd) {
  const dir = w.tempDir();
  try {
    const out = path.join(dir, 'web.rec');
    const result = w.run(process.execPath, [w.script, '--record', out, ...args], {cwd});
    assert.strictEqual(result.status, 0, result.stderr);
    const web = fs.readFileSync(out);
    const {bytes: native, stderr} = w.nativeRecording(args, cwd);
    // Nothing on stderr but what the native build says too (the notice of a
    // folder without show files).
    assert.strictEqual(result.stderr, stderr);
    assert.ok(native.length > 0);
    assert.strictEqual(web.length, native.length, 'recording lengths differ');
    assert.ok(web.equals(native), 'recordings differ');
  } finally {
    w.removeDir(dir);
  }
}

describe('node --record writes the bytes the native build records', () => {
  test('the default data, found beside each program', () => {
    // No ./data here: each finds the data installed beside it (the page's
    // copy for node, the build's for the native program).
    const away = w.tempDir();
    try {
      assertSameRecording([], away);
    } finally {
      w.removeDir(away);
    }
  });

  test('an empty data folder', () => {
    const data = w.tempDir();
    try {
      assertSameRecording(['--data', data], w.root);
    } finally {
      w.removeDir(data);
    }
  });

  for (const set of ['short', 'exact', 'extreme']) {
    test(`the golden "${set}" data set`, () => {
      const data = w.tempDir();
      try {
        w.makeDataSet(set, data);
        assertSameRecording(['--data', data], w.root);
      } finally {
        w.removeDir(data);
      }
    });
  }

  test('a key after N ticks, and paths relative to the current folder', () => {
    const cwd = w.tempDir();
    try {
      fs.cpSync(path.join(w.site, 'data'), path.join(cwd, 'here'), {recursive: true});
      for (const n of ['0', '1296', '2000']) assertSameRecording(['--data', 'here', '--key-after', n], cwd);
      // ./data is taken before the data beside the program.
      fs.renameSync(path.join(cwd, 'here'), path.join(cwd, 'data'));
      fs.rmSync(path.join(cwd, 'data', 'tr.img'));
      assertSameRecording(['--key-after', '700'], cwd);
    } finally {
      w.removeDir(cwd);
    }
  });
});

describe('bad command lines fail as they do natively', () => {
  const cases = [
    ['--bogus'],
    ['--record'],
    ['--record', 'r.bin', '--key-after', '12x'],
    ['--data', '/nonexistent/x', '--record', 'r.bin'],
    ['--record', '/nonexistent/dir/r.bin'],
  ];
  for (const args of cases) {
    test(args.join(' '), () => {
      const cwd = w.tempDir();
      try {
        const web = w.run(process.execPath, [w.script, ...args], {cwd});
        const native = w.run(w.native, args, {cwd});
        assert.notStrictEqual(native.status, 0);
        assert.strictEqual(web.status, native.status);
        assert.strictEqual(web.stderr, native.stderr);
        assert.deepStrictEqual(fs.readdirSync(cwd), [], 'nothing is left behind');
      } finally {
        w.removeDir(cwd);
      }
    });
  }

  test('without --record it says how to watch the show', () => {
    const result = w.run(process.execPath, [w.script]);
    assert.strictEqual(result.status, 2);
    assert.match(result.stderr, /only --record/);
    const help = w.run(process.execPath, [w.script, '--help']);
    assert.strictEqual(help.status, 0);
    assert.match(help.stdout, /--record FILE/);
  });
});
