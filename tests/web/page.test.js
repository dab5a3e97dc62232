// The page in headless Chromium (Debian's, driven by puppeteer-core): the
// canvas against the native pixel model, the end by key or click, missing
// files, the music's start on the AudioContext clock, the file:// message and
// the page's weight. Every page must run without errors.
'use strict';
const {describe, test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve} = require('./static_server');
const w = require('./support');

let browser;
let dir;
let server;

before(async () => {
  browser = await w.launchBrowser();
  dir = w.tempDir();
  server = await serve(w.site);
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  w.removeDir(dir);
});

// A native recording of the whole show (or up to a key) from `data`.
function record(name, data, keyAfter) {
  const file = path.join(dir, name);
  const args = ['--data', data, '--record', file];
  if (keyAfter !== undefined) args.push('--key-after', String(keyAfter));
  const result = w.run(w.native, args);
  assert.strictEqual(result.status, 0, result.stderr);
  return file;
}

async function ready(page) {
  await page.waitForFunction(() => window.cellshowTest && cellshowTest.state() === 'ready',
                             {timeout: 20000});
}

// Starts the show with `gesture`, held before its first tick.
async function start(page, gesture) {
  await page.evaluate(() => cellshowTest.holdAt(0));
  await gesture();
  await page.waitForFunction(() => cellshowTest.state() === 'playing');
}

// Lets the show run to `tick` and holds it there.
async function runTo(page, tick) {
  await page.evaluate((t) => cellshowTest.holdAt(t), tick);
  await page.waitForFunction((t) => cellshowTest.ticks() >= t, {timeout: 60000}, tick);
  assert.strictEqual(await page.evaluate(() => cellshowTest.ticks()), tick);
}

async function assertCanvasIs(page, rec, tick) {
  assert.strictEqual(await w.canvasHash(page), w.referenceImageHash(rec, tick),
                     `canvas at tick ${tick}`);
}

async function ended(page) {
  await page.waitForFunction(() => cellshowTest.state() === 'ended', {timeout: 60000});
}

describe('the canvas', () => {
  test('shows the native pixel model\'s image at three ticks; a fast run ends at tick 3773',
       async () => {
         const rec = record('default.rec', path.join(w.site, 'data'));
         const page = await w.openPage(browser, server.url + '?test&speed=8');
         await ready(page);
         await start(page, () => page.keyboard.press('Space'));
         // Plasma with an overlay picture, a frame animation, two wireframes.
         for (const tick of [300, 1400, 2100]) {
           await runTo(page, tick);
           await assertCanvasIs(page, rec, tick);
         }
         await page.evaluate(() => cellshowTest.holdAt(null));
         await ended(page);
         assert.strictEqual(await page.evaluate(() => cellshowTest.ticks()), 3773);
         await assertCanvasIs(page, rec, 3773);  // the closing black frame
         assert.deepStrictEqual(page.errors, []);
         await page.close();
       });

  test('plays missing files as the native program does', async () => {
    const missing = ['tr.img', 'hit.img', 'lc2.txt', '03.mp3'];
    const data = path.join(dir, 'partial');
    fs.cpSync(path.join(w.site, 'data'), data, {recursive: true});
    for (const name of missing) fs.rmSync(path.join(data, name));
    const rec = record('partial.rec', data);
    const partial = await serve(w.site, new Set(missing.map((name) => 'data/' + name)));
    try {
      const page = await w.openPage(browser, partial.url + '?test&speed=8', {expect404: true});
      await ready(page);
      await start(page, () => page.keyboard.press('Enter'));
      for (const tick of [700, 1600, 2700]) {
        await runTo(page, tick);
        await assertCanvasIs(page, rec, tick);
      }
      assert.deepStrictEqual(page.errors, []);
      await page.close();
    } finally {
      await partial.close();
    }
  });
});

describe('ending the show', () => {
  test('a key ends it with the black frame; play again starts from tick 1', async () => {
    const rec = record('key.rec', path.join(w.site, 'data'), 500);
    const page = await w.openPage(browser, server.url + '?test&speed=4');
    await ready(page);
    await start(page, () => page.mouse.click(400, 300));  // a click starts it too
    await runTo(page, 500);
    await page.keyboard.press('KeyX');
    await ended(page);
    assert.strictEqual(await page.evaluate(() => cellshowTest.ticks()), 500);
    await assertCanvasIs(page, rec, 500);
    assert.match(await page.$eval('#panel', (p) => p.innerText), /the show has ended/);
    assert.ok(await page.$eval('#again', (b) => !b.hidden));

    await start(page, () => page.click('#again'));
    await runTo(page, 30);
    await assertCanvasIs(page, rec, 30);
    assert.strictEqual(await page.evaluate(() => cellshowTest.state()), 'playing');
    assert.deepStrictEqual(page.errors, []);
    await page.close();
  });

  test('a double click or F11 makes it fullscreen and back; a single click ends it', async () => {
    const page = await w.openPage(browser, server.url + '?test&speed=4');
    await ready(page);
    await start(page, () => page.keyboard.press('KeyA'));
    await runTo(page, 40);
    const fullscreen = () => page.evaluate(() => document.fullscreenElement !== null);
    await page.mouse.click(400, 300, {clickCount: 1});
    await page.mouse.click(400, 300, {clickCount: 2});
    await page.waitForFunction(() => document.fullscreenElement !== null);
    await page.keyboard.press('F11');
    await page.waitForFunction(() => document.fullscreenElement === null);
    await page.keyboard.press('F11');
    await page.waitForFunction(() => document.fullscreenElement !== null);
    await new Promise((resolve) => setTimeout(resolve, 800));
    assert.strictEqual(await page.evaluate(() => cellshowTest.state()), 'playing');
    assert.ok(await fullscreen());
    // A modifier key alone is no key press either.
    await page.keyboard.press('Shift');
    await page.mouse.click(400, 300);
    await ended(page);
    assert.strictEqual(await page.evaluate(() => cellshowTest.ticks()), 40);
    assert.deepStrictEqual(page.errors, []);
    await page.close();
  });
});

describe('the music', () => {
  test('starts within one tick of tick 1296 on the AudioContext clock', async () => {
    const page = await w.openPage(browser, server.url + '?test');
    await ready(page);
    await page.keyboard.press('Space');
    await page.waitForFunction(() => cellshowTest.state() === 'playing');
    // A tap behind the music's output keeps the first 2048 samples of sound
    // that reach it, with the AudioContext frame of the first; every
    // animation frame notes the two clocks side by side.
    await page.evaluate(async () => {
      const audio = cellshowTest.audio();
      window.clocks = [];
      const note = () => {
        window.clocks.push([performance.now(), audio.currentTime]);
        if (window.heard === undefined) requestAnimationFrame(note);
      };
      requestAnimationFrame(note);
      const code = `registerProcessor('tap', class extends AudioWorkletProcessor {
        process(inputs) {
          const samples = inputs[0][0];
          if (!samples || this.done) return true;
          let from = 0;
          if (!this.kept) {
            from = samples.findIndex((s) => Math.abs(s) > 1e-3);
            if (from < 0) return true;
            this.frame = currentFrame + from;
            this.kept = [];
          }
          for (let k = from; k < samples.length && this.kept.length < 2048; ++k)
            this.kept.push(samples[k]);
          if (this.kept.length === 2048) {
            this.done = true;
            this.port.postMessage({frame: this.frame, samples: this.kept});
          }
          return true;
        }
      });`;
      await audio.audioWorklet.addModule(
          URL.createObjectURL(new Blob([code], {type: 'text/javascript'})));
      const tap = new AudioWorkletNode(audio, 'tap');
      tap.port.onmessage = (event) => { window.heard = event.data; };
      cellshowTest.musicOut().connect(tap);
      tap.connect(audio.destination);
    });
    assert.strictEqual(await page.evaluate(() => cellshowTest.audio().state), 'running');
    await page.waitForFunction(() => window.heard !== undefined, {timeout: 60000});
    const m = await page.evaluate(() => {
      // Where in the file the heard samples come from: the position, within
      // the first two seconds, where the file's samples match them best.
      const audio = cellshowTest.audio();
      const buffer = cellshowTest.music('data/03.mp3');
      const file = buffer.getChannelData(0);
      const heard = window.heard.samples;
      const step = buffer.sampleRate / audio.sampleRate;
      let best = {error: Infinity, at: -1};
      for (let at = 0; at < 2 * buffer.sampleRate; ++at) {
        let error = 0;
        for (let k = 0; k < heard.length && error < best.error; k += 4) {
          const d = heard[k] - file[Math.round(at + k * step)];
          error += d * d;
        }
        if (error < best.error) best = {error, at};
      }
      return {
        heardAt: window.heard.frame / audio.sampleRate,
        filePosition: best.at / buffer.sampleRate,
        matchError: best.error,
        startedAt: cellshowTest.startedAt(),
        dropped: cellshowTest.droppedTicks(),
        starts: cellshowTest.musicStarts(),
        clocks: window.clocks,
      };
    });
    assert.ok(m.matchError < 1e-3, `the heard samples are the file's (error ${m.matchError})`);
    assert.strictEqual(m.starts.length, 1);
    assert.strictEqual(m.starts[0].file, 'data/03.mp3');
    // Tick 1296 was due at this grid point on the page clock (later by the
    // grid points dropped on the way, if any).
    const gridPoint = (m.starts[0].dueMs - m.startedAt) / 17;
    assert.ok(Math.abs(gridPoint - Math.round(gridPoint)) < 1e-6, String(gridPoint));
    assert.ok(gridPoint >= 1296 && gridPoint <= 1296 + m.dropped, String(gridPoint));
    // The AudioContext clock against the page clock over the seconds around
    // it (the median, as the context's clock moves in steps), then the
    // AudioContext time at which the tick was due.
    const near = m.clocks.filter(([page]) => Math.abs(page - m.starts[0].dueMs) < 3000);
    const offsets = near.map(([page, audio]) => audio - page / 1000).sort((a, b) => a - b);
    assert.ok(offsets.length > 100, `${offsets.length} clock readings`);
    const due = m.starts[0].dueMs / 1000 + offsets[offsets.length >> 1];
    const started = m.heardAt - m.filePosition;
    console.log(`music: started ${((started - due) * 1000).toFixed(2)} ms after tick 1296 ` +
                `was due on the AudioContext clock`);
    assert.ok(Math.abs(started - due) < 0.017, `started ${started} s, tick due ${due} s`);

    // The run so far is over 20 s of real time: its figures.
    const f = await page.evaluate(() => ({
      ms: cellshowTest.frameMs(),
      late: cellshowTest.worstLatenessMs(),
      dropped: cellshowTest.droppedTicks(),
      ticks: cellshowTest.ticks(),
      stats: cellshowTest.stats(),
    }));
    const sorted = f.ms.slice().sort((a, b) => a - b);
    const mean = sorted.reduce((a, b) => a + b, 0) / sorted.length;
    console.log(`real time: ${f.ticks} ticks, worst lateness ${f.late.toFixed(2)} ms, ` +
                `${f.dropped} dropped; tick+present per frame mean ${mean.toFixed(3)} ms, ` +
                `p99 ${sorted[Math.floor(sorted.length * 0.99)].toFixed(3)} ms, ` +
                `max ${sorted[sorted.length - 1].toFixed(3)} ms over ${sorted.length} frames`);
    console.log(f.stats.trimEnd());
    // The key's "close all" silences it.
    await page.evaluate(() => {
      window.level = cellshowTest.audio().createAnalyser();
      cellshowTest.musicOut().connect(window.level);
    });
    const loudest = () => page.evaluate(() => {
      const samples = new Float32Array(window.level.fftSize);
      window.level.getFloatTimeDomainData(samples);
      return Math.max(...samples.map(Math.abs));
    });
    await page.waitForFunction(() => {
      const samples = new Float32Array(window.level.fftSize);
      window.level.getFloatTimeDomainData(samples);
      return samples.some((s) => s !== 0);
    });
    await page.keyboard.press('Escape');
    await ended(page);
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.strictEqual(await loudest(), 0);
    assert.strictEqual(await page.evaluate(() => cellshowTest.musicStarts().length), 1);
    assert.deepStrictEqual(page.errors, []);
    await page.close();
  });
});

describe('the start screen\'s loop and volume', () => {
  test('loop plays the show again from tick 1, music included; the volume sets the music\'s gain',
       async () => {
         const rec = record('loop.rec', path.join(w.site, 'data'));
         const page = await w.openPage(browser, server.url + '?test&speed=16');
         await ready(page);
         assert.strictEqual(await page.evaluate(() => cellshowTest.loop()), false);
         // Working the controls starts nothing.
         await page.click('#loop');
         await page.click('#volume');
         await page.$eval('#volume', (slider) => {
           slider.value = '30';
           slider.dispatchEvent(new Event('input'));
         });
         await page.focus('#loop');
         await page.keyboard.press('Space');
         await page.keyboard.press('Space');
         assert.strictEqual(await page.evaluate(() => cellshowTest.state()), 'ready');
         assert.strictEqual(await page.evaluate(() => cellshowTest.loop()), true);

         await start(page, () => page.keyboard.press('KeyL'));
         assert.strictEqual(await page.evaluate(() => cellshowTest.musicOut().gain.value),
                            Math.fround(0.3));
         await runTo(page, 300);
         await assertCanvasIs(page, rec, 300);
         // Past the end (3773) the show goes on from its first tick.
         await runTo(page, 3773 + 300);
         await assertCanvasIs(page, rec, 300);
         assert.strictEqual(await page.evaluate(() => cellshowTest.musicStarts().length), 1);
         await runTo(page, 3773 + 1300);
         const starts = await page.evaluate(() => cellshowTest.musicStarts());
         assert.strictEqual(starts.length, 2);
         assert.strictEqual(starts[1].file, 'data/03.mp3');
         await page.keyboard.press('KeyX');
         await ended(page);
         assert.strictEqual(await page.evaluate(() => cellshowTest.ticks()), 3773 + 1300);
         assert.deepStrictEqual(page.errors, []);
         await page.close();
       });
});

describe('the page', () => {
  test('opened from a file, it says the files cannot be fetched and how to serve them',
       async () => {
         const page = await w.openPage(browser, 'file://' + path.join(w.site, 'index.html'));
         await page.waitForFunction(() => /http\.server/.test(document.body.innerText));
         assert.match(await page.$eval('#message', (p) => p.innerText), /cannot|not/);
         assert.deepStrictEqual(page.errors, []);
         await page.close();
       });

  test('weighs under 250 KB gzipped without the data', () => {
    const files = ['index.html', 'page.js', 'page.css', 'cellshow.js', 'cellshow.wasm'];
    let total = 0;
    for (const name of files) {
      total += zlib.gzipSync(fs.readFileSync(path.join(w.site, name)), {level: 9}).length;
    }
    console.log(`page weight without the data: ${(total / 1024).toFixed(1)} KiB gzipped`);
    assert.ok(total < 250 * 1024, `${total} bytes`);
  });
});
