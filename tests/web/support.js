// What the tests of the WebAssembly build share: where the builds are, the
// native references, and a headless Chromium for the page.
'use strict';
const {execFileSync, spawnSync} = require('child_process');
const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');

const root = path.resolve(__dirname, '..', '..');
const nativeBuild = path.resolve(process.env.CELLSHOW_BUILD || path.join(root, 'build'));
const site = path.resolve(process.env.CELLSHOW_WEB || path.join(root, 'build-web'));
const native = path.join(nativeBuild, 'cellshow');
const reference = path.join(nativeBuild, 'tests', 'web-reference');
const script = path.join(site, 'cellshow.js');

function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'cellshow-web-'));
}

function removeDir(dir) {
  fs.rmSync(dir, {recursive: true, force: true});
}

// Runs a program; gives its status, stdout and stderr.
function run(program, args, options = {}) {
  const result = spawnSync(program, args, {encoding: 'utf8', ...options});
  return {status: result.status, stdout: result.stdout, stderr: result.stderr};
}

// Writes the golden data set `name` ("short", "empty", ...) into `dir`.
function makeDataSet(name, dir) {
  execFileSync(reference, ['data', name, dir]);
}

// The native build's recording of the show, as bytes.
function nativeRecording(args, cwd) {
  const dir = tempDir();
  try {
    const out = path.join(dir, 'native.rec');
    const result = run(native, ['--record', out, ...args], {cwd});
    if (result.status !== 0) throw new Error('native --record failed: ' + result.stderr);
    return {bytes: fs.readFileSync(out), stderr: result.stderr};
  } finally {
    removeDir(dir);
  }
}

function sha256(bytes) {
  return crypto.createHash('sha256').update(bytes).digest('hex');
}

// The SHA-256 of the native pixel model's image (640x400 RGBA) of the newest
// frame presented at or before `tick` in the recording file `rec`.
function referenceImageHash(rec, tick) {
  const image = execFileSync(reference, ['image', rec, String(tick)], {maxBuffer: 4 << 20});
  if (image.length !== 640 * 400 * 4) throw new Error('unexpected image size ' + image.length);
  return sha256(image);
}

// Headless Chromium (Debian's), with a profile of its own.
async function launchBrowser() {
  const puppeteer = require('puppeteer-core');
  const profile = tempDir();
  const browser = await puppeteer.launch({
    executablePath: process.env.CELLSHOW_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`,
    ],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    removeDir(profile);
  };
  return browser;
}

// A page whose errors are collected: uncaught exceptions and console errors
// (which include failed requests, unless a test expects them).
async function openPage(browser, url, {expect404 = false} = {}) {
  const page = await browser.newPage();
  page.expect404 = expect404;
  await page.setViewport({width: 800, height: 600});
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push('page error: ' + e.message));
  page.on('console', (m) => {
    if (m.type() === 'error' && !page.expect404) page.errors.push('console error: ' + m.text());
  });
  await page.goto(url);
  return page;
}

// The canvas as the page shows it: SHA-256 of its 640x400 RGBA pixels.
function canvasHash(page) {
  return page.evaluate(async () => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const digest = await crypto.subtle.digest('SHA-256', data);
    return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
  });
}

module.exports = {
  root, nativeBuild, site, native, reference, script, tempDir, removeDir, run, makeDataSet,
  nativeRecording, sha256, referenceImageHash, launchBrowser, openPage, canvasHash,
};
