// The page around the WebAssembly build: loads the module and the show's
// files, shows the start and end screens (with the loop and volume
// controls), draws each presented frame on the canvas and plays the music
// with WebAudio on the AudioContext clock.
//
// The module (src/platform/web/) runs the show: cellshow_begin starts it,
// cellshow_frame runs the ticks that are due on the page clock and draws the
// newest grid into a 640x400 RGBA image, cellshow_key ends it as a key does.
// With ?test in the address, window.cellshowTest gives the browser tests a
// view inside (and ?speed=N runs the page clock N times as fast).
'use strict';

(function () {
  const Width = 640;
  const Height = 400;
  const ImageBytes = Width * Height * 4;
  const DoubleClickMs = 300;  // a click waits this long for a second one
  const AudioStartWaitMs = 500;
  // How far ahead of the AudioContext's clock a start is sure to be on time:
  // its clock advances in steps of one audio callback (10 ms here).
  const StartMarginS = 0.02;

  const canvas = document.getElementById('screen');
  const graphics = canvas.getContext('2d', {alpha: false});
  const panel = document.getElementById('panel');
  const message = document.getElementById('message');
  const hint = document.getElementById('hint');
  const again = document.getElementById('again');
  const options = document.getElementById('options');
  const loopBox = document.getElementById('loop');
  const volume = document.getElementById('volume');

  const params = new URLSearchParams(location.search);
  const testing = params.has('test');
  const speed = testing && Number(params.get('speed')) > 0 ? Number(params.get('speed')) : 1;

  let state = 'loading';  // loading, ready, starting, playing, ended, failed
  let audio = null;       // the AudioContext, made by the first gesture
  let musicOut = null;    // every music source plays into this node
  let sources = [];
  const music = new Map();  // "data/03.mp3" -> AudioBuffer
  let startedAt = 0;        // the show's start on the page clock
  let pendingClick = 0;
  let holdAt = Infinity;    // tests: no tick past this count

  const test = {
    frameMs: [],      // tick plus present, per frame that ran a tick or drew
    musicStarts: [],  // what each play did
  };

  function clock() { return performance.now() * speed; }

  function show(text, extra) {
    panel.hidden = false;
    message.textContent = text;
    hint.hidden = !extra;
    hint.textContent = extra || '';
  }

  function fail(text, extra) {
    state = 'failed';
    document.body.classList.remove('playing');
    again.hidden = true;
    options.hidden = true;
    show(text, extra);
  }

  const serveHint =
      'Serve the folder over HTTP, for example with "python3 -m http.server" ' +
      'in it, and open http://localhost:8000/ instead.';

  // --- loading -------------------------------------------------------------

  function loadModule() {
    window.Module = {
      noInitialRun: true,
      onMusicPlay: playMusic,
      onMusicCloseAll: closeAllMusic,
      onRuntimeInitialized: () => { loadFiles().catch((e) => fail('The show could not load: ' + e)); },
      onAbort: (what) => fail('The show stopped: ' + what),
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
    };
    const script = document.createElement('script');
    script.src = 'cellshow.js';
    script.onerror = () => fail('cellshow.js could not be loaded.', serveHint);
    document.body.appendChild(script);
  }

  async function fetchFile(name) {
    try {
      const response = await fetch(name);
      if (!response.ok) return {name, missing: true};
      return {name, bytes: new Uint8Array(await response.arrayBuffer())};
    } catch (e) {
      return {name, unreachable: true};
    }
  }

  async function decodeMusic(bytes) {
    // Decoding needs no running AudioContext: an offline one is allowed before
    // any gesture. The live context resamples the buffer if its rate differs.
    const offline = new OfflineAudioContext(2, 1, 44100);
    try {
      return await offline.decodeAudioData(bytes.slice().buffer);
    } catch (e) {
      return null;  // an unplayable file plays as nothing, as natively
    }
  }

  async function loadFiles() {
    const names = [];
    for (let i = 0;; ++i) {
      const at = Module._cellshow_asset(i);
      if (!at) break;
      names.push(Module.UTF8ToString(at));
    }
    const files = await Promise.all(names.map(fetchFile));
    if (files.every((f) => f.unreachable)) {
      fail('The show\'s files cannot be fetched.', serveHint);
      return;
    }
    for (const file of files) {
      if (!file.bytes) continue;
      const path = '/' + file.name;
      Module.FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
      Module.FS.writeFile(path, file.bytes);
      if (/\.mp3$/i.test(file.name)) {
        const buffer = await decodeMusic(file.bytes);
        if (buffer) music.set(file.name, buffer);
      }
    }
    state = 'ready';
    show('click or press a key to start');
    options.hidden = false;
  }

  // --- music -----------------------------------------------------------------

  function openAudio() {
    if (audio || typeof AudioContext != 'function') return;
    try {
      audio = new AudioContext();
      musicOut = audio.createGain();
      musicOut.connect(audio.destination);
      setVolume();
    } catch (e) {
      audio = null;  // no sound on this machine: the show plays silently
    }
  }

  function setVolume() {
    if (musicOut) musicOut.gain.value = Number(volume.value) / 100;
  }

  function closeAllMusic() {
    for (const source of sources) {
      try { source.stop(); } catch (e) { /* never started */ }
      source.disconnect();
    }
    sources = [];
  }

  // The play tick was due at `dueMs` on the page clock: the music starts at
  // that moment on the AudioContext clock (its time now, less the time since
  // the tick was due). A tick runs a little after it is due, so that moment
  // has passed: the music then starts a moment from now, as far into the file
  // as it would be by then. (A start in the past would play from the
  // beginning, late by however long the audio thread takes to see it.)
  function playMusic(file, dueMs) {
    closeAllMusic();
    const buffer = music.get(file);
    if (!audio || !buffer) return;
    const source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(musicOut);
    const now = audio.currentTime;
    const when = now - (clock() - dueMs) / speed / 1000;
    const at = Math.max(when, now + Math.max(StartMarginS, audio.baseLatency || 0));
    source.start(at, at - when);
    sources.push(source);
    source.onended = () => { sources = sources.filter((s) => s !== source); };
    test.musicStarts.push({file, dueMs, when, at});
  }

  // --- the show --------------------------------------------------------------

  // A view of the module's image, made again only when its memory has grown
  // (the image itself stays in place).
  let image = null;
  function present() {
    if (image === null || image.data.buffer !== Module.HEAPU8.buffer) {
      const pixels = new Uint8ClampedArray(Module.HEAPU8.buffer, Module._cellshow_image(), ImageBytes);
      image = new ImageData(pixels, Width, Height);
    }
    graphics.putImageData(image, 0, 0);
  }

  function frame() {
    if (state !== 'playing') return;
    const began = performance.now();
    const ticks = testing ? Module._cellshow_ticks() : 0;
    const limit = holdAt === Infinity ? 0xffffffff : holdAt;
    const flags = Module._cellshow_frame(clock(), limit);
    if (flags & 1) present();
    if (testing && ((flags & 1) || Module._cellshow_ticks() !== ticks)) {
      test.frameMs.push(performance.now() - began);
    }
    if (flags & 2) {
      ended();
      return;
    }
    requestAnimationFrame(frame);
  }

  function begin() {
    document.body.classList.add('playing');
    panel.hidden = true;
    again.hidden = true;
    graphics.fillStyle = '#000';
    graphics.fillRect(0, 0, Width, Height);
    test.musicStarts = [];
    test.frameMs = [];
    // The grid starts with the first animation frame, not at the gesture:
    // the frame that hides the start screen may come late.
    requestAnimationFrame(() => {
      state = 'playing';
      startedAt = clock();
      // With loop checked the show plays again from its first tick at its
      // end, music included, until a key or a click.
      Module._cellshow_begin(startedAt, loopBox.checked ? 1 : 0);
      requestAnimationFrame(frame);
    });
  }

  // The first gesture may open the AudioContext; the show starts once its
  // clock runs (or after a short wait, silently, when it never does).
  function start() {
    if (state !== 'ready' && state !== 'ended') return;
    state = 'starting';
    openAudio();
    if (!audio || audio.state === 'running') {
      begin();
      return;
    }
    let begun = false;
    const go = () => {
      if (begun) return;
      begun = true;
      begin();
    };
    audio.resume().then(go, go);
    setTimeout(go, AudioStartWaitMs);
  }

  function ended() {
    state = 'ended';
    document.body.classList.remove('playing');
    show('the show has ended');
    options.hidden = false;
    again.hidden = false;
    again.focus();
  }

  // A key or click during the show ends it as natively: black frame, music
  // closed. The next frame draws the black frame and shows the end screen.
  function endShow() {
    if (state === 'playing') Module._cellshow_key();
  }

  function toggleFullscreen() {
    const done = () => {};
    if (document.fullscreenElement) {
      if (document.exitFullscreen) document.exitFullscreen().catch(done);
    } else if (document.documentElement.requestFullscreen) {
      document.documentElement.requestFullscreen().catch(done);
    }
  }

  const Modifiers = new Set(['Shift', 'Control', 'Alt', 'AltGraph', 'Meta', 'OS', 'CapsLock',
                             'NumLock', 'ScrollLock', 'Fn', 'Dead', 'Unidentified']);

  // Keys that work the controls on the start and end screens (Tab reaches
  // them); everywhere else, and during the show, a key is a key.
  const ControlKeys = new Set([' ', 'ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'Home',
                               'End', 'PageUp', 'PageDown']);

  window.addEventListener('keydown', (event) => {
    if (state !== 'playing' &&
        (event.key === 'Tab' || (options.contains(event.target) && ControlKeys.has(event.key)))) {
      return;
    }
    if (event.key === 'F11') {
      event.preventDefault();
      toggleFullscreen();
      return;
    }
    // A modifier alone sends nothing to a terminal either.
    if (Modifiers.has(event.key)) return;
    if (state === 'ready') {
      event.preventDefault();
      start();
    } else if (state === 'playing') {
      event.preventDefault();
      endShow();
    }
  });

  window.addEventListener('click', (event) => {
    if (event.target === again || options.contains(event.target)) return;
    if (state === 'ready') {
      start();
    } else if (state === 'playing') {
      clearTimeout(pendingClick);
      pendingClick = setTimeout(endShow, DoubleClickMs);
    }
  });

  window.addEventListener('dblclick', (event) => {
    if (event.target === again || options.contains(event.target)) return;
    clearTimeout(pendingClick);
    toggleFullscreen();
  });

  again.addEventListener('click', () => start());
  volume.addEventListener('input', setVolume);
  options.addEventListener('submit', (event) => event.preventDefault());

  if (testing) {
    window.cellshowTest = {
      state: () => state,
      ticks: () => (window.Module && Module._cellshow_ticks ? Module._cellshow_ticks() : 0),
      holdAt: (tick) => { holdAt = tick == null ? Infinity : tick; },
      frameMs: () => test.frameMs.slice(),
      musicStarts: () => test.musicStarts.slice(),
      startedAt: () => startedAt,
      audio: () => audio,
      musicOut: () => musicOut,
      loop: () => loopBox.checked,
      music: (file) => music.get(file),
      worstLatenessMs: () => Module._cellshow_worst_lateness_ms() / speed,
      droppedTicks: () => Module._cellshow_dropped_ticks(),
      stats: () => Module.UTF8ToString(Module._cellshow_stats()),
    };
  }

  if (location.protocol === 'file:') {
    fail('This page was opened from a file, and browsers do not let it fetch the show\'s files.',
         serveHint);
    return;
  }
  loadModule();
})();
