// The page's side of the web backend (joined to the program's JavaScript by
// the build): a canvas per window, the page's input queued for the layer, the
// wake-up of a waiting GetMessageA, glyphs drawn by the browser, and the
// script file KAPLO.SCR offered for download and taken from the user.
Module.kaplo = (function () {
  'use strict';
  var SCRIPT = '/KAPLO.SCR';
  var windows = {};   // layer window id -> {box, canvas, context}
  var events = [];    // [kind, window, a, b, c, d] as web.cpp reads them
  var wake = null;    // resolves the promise a waiting GetMessageA sleeps on
  var sleeper = null; // its time-out
  var scriptStamp = '';
  var glyphCanvas = null, glyphContext = null, glyphImage = null;
  var fonts = [];     // font id -> CSS font family list and style

  // Event kinds (web.cpp has the same numbers).
  var MOUSE = 1, KEY = 2, FOCUS = 3, CLOSE = 4, TEXT = 5;

  // Virtual keys of the page's key codes; the numeric keypad's digits depend
  // on Num Lock and are handled in vkOf.
  var VK = {
    Enter: 0x0D, NumpadEnter: 0x0D, Escape: 0x1B, Backspace: 0x08, Tab: 0x09, Space: 0x20,
    Minus: 0xBD, Equal: 0xBB, BracketLeft: 0xDB, BracketRight: 0xDD, Backslash: 0xDC,
    Semicolon: 0xBA, Quote: 0xDE, Backquote: 0xC0, Comma: 0xBC, Period: 0xBE, Slash: 0xBF,
    CapsLock: 0x14, ShiftLeft: 0x10, ShiftRight: 0x10, ControlLeft: 0x11, ControlRight: 0x11,
    AltLeft: 0x12, AltRight: 0x12, Insert: 0x2D, Delete: 0x2E, Home: 0x24, End: 0x23,
    PageUp: 0x21, PageDown: 0x22, ArrowLeft: 0x25, ArrowRight: 0x27, ArrowUp: 0x26,
    ArrowDown: 0x28, NumpadDivide: 0x6F, NumpadMultiply: 0x6A, NumpadSubtract: 0x6D,
    NumpadAdd: 0x6B, IntlBackslash: 0xE2
  };
  var KEYPAD_OFF = [0x2D, 0x23, 0x28, 0x22, 0x25, 0, 0x27, 0x24, 0x26, 0x21];
  // Virtual keys of punctuation a layout puts where US keyboards have letters.
  var PUNCTUATION = {
    ',': 0xBC, ';': 0xBA, ':': 0xBA, '.': 0xBE, '-': 0xBD, '=': 0xBB, '/': 0xBF,
    '[': 0xDB, ']': 0xDD, '\\': 0xDC, "'": 0xDE, '`': 0xC0
  };

  // The virtual key of a key event, 0 for keys the layer does not know. As on
  // Windows, a letter key is the letter the layout prints on it (KeyboardEvent
  // key), a letter position with punctuation that punctuation's key, and one
  // with a letter that is not Latin its US letter; other keys go by position.
  function vkOf(e) {
    var c = e.code || '', k = e.key || '', m;
    if (/^[a-zA-Z]$/.test(k)) return k.toUpperCase().charCodeAt(0);
    if ((m = /^Key([A-Z])$/.exec(c))) return PUNCTUATION[k] || m[1].charCodeAt(0);
    if ((m = /^Digit([0-9])$/.exec(c))) return m[1].charCodeAt(0);
    if ((m = /^F([0-9]+)$/.exec(c)) && +m[1] >= 1 && +m[1] <= 12) return 0x70 + (+m[1]) - 1;
    if ((m = /^Numpad([0-9])$/.exec(c)))
      return e.getModifierState('NumLock') ? 0x60 + (+m[1]) : KEYPAD_OFF[+m[1]];
    if (c === 'NumpadDecimal') return e.getModifierState('NumLock') ? 0x6E : 0x2E;
    return VK[c] || 0;
  }

  // Queues an event and wakes the program if it waits.
  function push(ev) {
    events.push(ev);
    if (wake) { var w = wake; wake = null; w(); }
  }

  // A mouse event's point in the canvas's pixels (the surface's).
  function pointOf(canvas, e) {
    var r = canvas.getBoundingClientRect();
    var x = Math.floor((e.clientX - r.left) * canvas.width / Math.max(1, r.width));
    var y = Math.floor((e.clientY - r.top) * canvas.height / Math.max(1, r.height));
    return [x, y];
  }

  // Keys the browser would take for itself (Ctrl+R reloads, Ctrl+P prints,
  // Tab moves the focus, arrows scroll) stay with the program; F5, F11 and
  // F12 are left to the browser so that the page can still be reloaded and
  // inspected.
  function keyEvent(e, down) {
    if (e.target && e.target !== keysTarget &&
        (e.target.tagName === 'INPUT' || e.target.tagName === 'TEXTAREA')) return;
    if (e.isComposing || e.keyCode === 229) return;  // the input method's, not the program's
    var vk = vkOf(e), text = down ? textOf(e) : '';
    if (!vk && !text) return;
    // A dead key is left to the browser, which composes it with the next key.
    if (vk !== 0x74 && vk !== 0x7A && vk !== 0x7B && e.key !== 'Dead') e.preventDefault();
    // Keys go to the layer's focus window, which a click on a window moves.
    if (vk) push([KEY, 0, down ? 1 : 0, vk, e.repeat ? 1 : 0, e.getModifierState('CapsLock') ? 1 : 0]);
    pushText(text);
  }

  // The characters a key press types in the page's layout: its key when that
  // is one character (Shift, Caps Lock, AltGr and a dead key before it
  // already applied); none for named keys (Enter, Dead ...) or with Ctrl alone.
  function textOf(e) {
    var k = e.key || '';
    if (Array.from(k).length !== 1 || e.metaKey) return '';
    if (e.ctrlKey && !e.altKey && !e.getModifierState('AltGraph')) return '';
    return k;
  }

  // Queues typed characters, each as its UTF-8 bytes (at most four).
  function pushText(text) {
    Array.from(text).forEach(function (ch) {
      var b = new TextEncoder().encode(ch);
      push([TEXT, 0, b[0] || 0, b[1] || 0, b[2] || 0, b[3] || 0]);
    });
  }

  // An input method types only into a text field: one out of sight takes
  // the keyboard when a window does. Keys reach the program from it as from
  // anywhere (they type nothing into it); an input method's text, when it is
  // committed, goes to the program and the field is emptied.
  var keysTarget = null;
  function focusKeys() {
    if (!keysTarget) {
      keysTarget = document.createElement('textarea');
      keysTarget.setAttribute('aria-hidden', 'true');
      keysTarget.style.cssText = 'position:fixed;left:-100px;top:0;width:1px;height:1px;opacity:0';
      document.body.appendChild(keysTarget);
    }
    keysTarget.focus({preventScroll: true});
  }

  // Starts listening to the page's keyboard and input method.
  function start() {
    window.addEventListener('keydown', function (e) { keyEvent(e, true); });
    window.addEventListener('keyup', function (e) { keyEvent(e, false); });
    window.addEventListener('compositionend', function (e) {
      pushText(e.data || '');
      if (keysTarget) keysTarget.value = '';
    });
    var chooser = document.getElementById('kaplo-script-file');
    if (chooser) chooser.addEventListener('change', function () {
      if (chooser.files.length) takeScript(chooser.files[0]);
    });
  }

  // Makes the canvas of a new (hidden) window and listens to its mouse.
  function createWindow(id, title, width, height) {
    var box = document.createElement('figure');
    box.className = 'kaplo-window';
    box.style.display = 'none';
    var caption = document.createElement('figcaption');
    caption.textContent = title;
    var close = document.createElement('button');  // the close box
    close.className = 'kaplo-close';
    close.title = 'Close';
    close.textContent = '\u00d7';
    close.addEventListener('click', function () { push([CLOSE, id, 0, 0, 0, 0]); });
    caption.appendChild(close);
    var canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    canvas.tabIndex = 0;
    canvas.dataset.window = id;
    box.appendChild(caption);
    box.appendChild(canvas);
    (document.getElementById('kaplo-windows') || document.body).appendChild(box);
    var buttons = {0: 0, 1: 2, 2: 1};  // the page's button numbers -> left, right, middle
    // Pointer events: a mouse, and a finger or pen on a touch screen as the left button.
    function mouse(e, what) {
      var p = pointOf(canvas, e);
      var button = what === 2 ? 0 : buttons[e.button];
      if (button === undefined) return;
      e.preventDefault();
      if (what === 1) { focusKeys(); push([FOCUS, id, 0, 0, 0, 0]); }
      push([MOUSE, id, what, button, p[0], p[1]]);
    }
    canvas.addEventListener('pointerdown', function (e) { mouse(e, 1); });
    canvas.addEventListener('pointerup', function (e) { mouse(e, 0); });
    canvas.addEventListener('pointermove', function (e) { mouse(e, 2); });
    canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });
    // A click on the caption gives the window the keys, as on the desktop.
    caption.addEventListener('pointerdown', function (e) {
      if (e.target === close) return;
      e.preventDefault();
      focusKeys();
      push([FOCUS, id, 0, 0, 0, 0]);
    });
    windows[id] = {box: box, canvas: canvas, context: canvas.getContext('2d')};
  }

  // Removes a window's canvas.
  function destroyWindow(id) {
    var w = windows[id];
    if (!w) return;
    w.box.remove();
    delete windows[id];
  }

  // Shows or hides a window.
  function showWindow(id, visible) {
    var w = windows[id];
    if (w) w.box.style.display = visible ? '' : 'none';
  }

  // Follows a change of the surface's size.
  function resizeWindow(id, width, height) {
    var w = windows[id];
    if (!w) return;
    w.canvas.width = width;
    w.canvas.height = height;
  }

  // Puts a window's composed pixels (RGBA bytes at ptr) on its canvas.
  function present(id, ptr, width, height) {
    var w = windows[id];
    if (!w || width <= 0 || height <= 0) return;
    if (w.canvas.width !== width || w.canvas.height !== height) resizeWindow(id, width, height);
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, ptr, width * height * 4);
    w.context.putImageData(new ImageData(bytes, width, height), 0, 0);
  }

  // Hands the oldest event to web.cpp (six ints at out); false when none.
  function takeEvent(out) {
    if (!events.length) return 0;
    var ev = events.shift();
    for (var i = 0; i < 6; i++) HEAP32[(out >> 2) + i] = ev[i];
    return 1;
  }

  // Sleeps until an event arrives or ms milliseconds pass (ms < 0: no limit).
  function sleep(ms) {
    if (events.length) return Promise.resolve();
    return new Promise(function (resolve) {
      wake = resolve;
      if (ms >= 0) sleeper = setTimeout(function () { wake = null; resolve(); }, ms);
    }).then(function () {
      if (sleeper !== null) { clearTimeout(sleeper); sleeper = null; }
    });
  }

  // The script file's bytes, or null when there is none.
  function readScript() {
    try { return FS.readFile(SCRIPT); } catch (e) { return null; }
  }

  // Offers the script file for download once it has changed (called while
  // the program waits, so never between a recording's lines).
  function checkScript() {
    var stamp = '';
    try { var st = FS.stat(SCRIPT); stamp = st.size + '@' + (+st.mtime); } catch (e) {}
    if (stamp === scriptStamp) return;
    scriptStamp = stamp;
    var link = document.getElementById('kaplo-script-download');
    if (!link) return;
    var data = readScript();
    if (link.href) URL.revokeObjectURL(link.href);
    if (data && data.length) {
      link.href = URL.createObjectURL(new Blob([data], {type: 'application/octet-stream'}));
      link.download = 'KAPLO.SCR';
      link.textContent = 'Download KAPLO.SCR (' + data.length + ' bytes)';
      link.hidden = false;
    } else {
      link.removeAttribute('href');
      link.hidden = true;
    }
  }

  // Makes a file the user chose the script that Playback plays.
  function takeScript(file) {
    var status = document.getElementById('kaplo-status');
    file.arrayBuffer().then(function (buffer) {
      FS.writeFile(SCRIPT, new Uint8Array(buffer));
      scriptStamp = '';
      if (status) status.textContent = file.name + ' is now KAPLO.SCR (' + buffer.byteLength +
        ' bytes): choose Playback Script in the Run menu to play it.';
    });
  }

  // Says in the page that the program has ended; its windows go with it.
  function ended(code) {
    Object.keys(windows).forEach(function (id) { destroyWindow(+id); });
    var status = document.getElementById('kaplo-status');
    if (status) status.textContent = 'The program has ended (exit code ' + code + ').';
    document.body.dataset.ended = code;
  }

  // ---- glyphs: the browser's text renderer as the font mapper ----

  // A CSS font family list from the families asked for, generic names bare.
  function familyList(names) {
    var generic = {'sans-serif': 1, 'serif': 1, 'monospace': 1, 'cursive': 1, 'fantasy': 1};
    return names.map(function (n) {
      return generic[n] ? n : '"' + n.replace(/["\\]/g, '') + '"';
    }).join(', ');
  }

  // The scratch canvas glyphs are drawn and measured on.
  function glyphs() {
    if (!glyphContext) {
      glyphCanvas = document.createElement('canvas');
      glyphCanvas.width = glyphCanvas.height = 64;
      glyphContext = glyphCanvas.getContext('2d', {willReadFrequently: true});
    }
    return glyphContext;
  }

  // Sets the scratch context's font at a pixel size.
  function useFont(id, px) {
    var f = fonts[id], g = glyphs();
    g.font = f.style + ' ' + f.weight + ' ' + px + 'px ' + f.families;
    return g;
  }

  // Opens a font for the families (newline-separated); fills info (ints, font
  // units of a 2048 em) and returns its id.
  function openFont(names, weight, italic, mono, info) {
    var list = names.split('\n').filter(function (n) { return n.length; });
    if (mono && list.indexOf('monospace') < 0) list.push('monospace');
    if (list.indexOf('sans-serif') < 0 && list.indexOf('monospace') < 0 && list.indexOf('serif') < 0)
      list.push('sans-serif');
    fonts.push({families: familyList(list), weight: weight > 0 ? Math.min(Math.max(weight, 1), 1000) : 400,
                style: italic ? 'italic' : 'normal'});
    var id = fonts.length - 1, em = 2048, g = useFont(id, em);
    var x0 = 0, y0 = 0, x1 = 0, y1 = 0, widest = 0, m;
    for (var c = 0x20; c < 0x7F; c++) {
      m = g.measureText(String.fromCharCode(c));
      x0 = Math.min(x0, -m.actualBoundingBoxLeft);
      x1 = Math.max(x1, m.actualBoundingBoxRight);
      y1 = Math.max(y1, m.actualBoundingBoxAscent);
      y0 = Math.min(y0, -m.actualBoundingBoxDescent);
      widest = Math.max(widest, m.width);
    }
    m = g.measureText('x');
    var ascent = m.fontBoundingBoxAscent || y1, descent = m.fontBoundingBoxDescent || -y0;
    var values = [em, ascent, descent, m.width, 0, 0, x0, y0, x1, y1, -descent / 2, em / 16, widest,
                  g.measureText('0').width];
    for (var i = 0; i < values.length; i++) HEAP32[(info >> 2) + i] = Math.round(values[i]);
    return id;
  }

  // The advance and ink box (26.6 pixels, y up) of a character (or a run of
  // a joined or right-to-left script, which the browser shapes and orders) at
  // a size into out: advance, blank, x_min, y_min, x_max, y_max.
  function glyphBox(id, xPpem, yPpem, text, out) {
    var g = useFont(id, yPpem), s = xPpem / yPpem;
    var m = g.measureText(text);
    var left = -m.actualBoundingBoxLeft * s, right = m.actualBoundingBoxRight * s;
    var up = m.actualBoundingBoxAscent, down = -m.actualBoundingBoxDescent;
    var blank = !(right > left && up > down);
    var values = [Math.max(0, Math.round(m.width * s)), blank ? 1 : 0, Math.floor(left * 64),
                  Math.floor(down * 64), Math.ceil(right * 64), Math.ceil(up * 64)];
    for (var i = 0; i < 6; i++) HEAP32[(out >> 2) + i] = values[i];
  }

  // Draws a character white on clear and keeps its alpha; out gets width,
  // rows, left, top of the bitmap, whose bytes takeGlyph then copies.
  function renderGlyph(id, xPpem, yPpem, text, out) {
    var g = useFont(id, yPpem), s = xPpem / yPpem;
    var m = g.measureText(text);
    var left = Math.floor(-m.actualBoundingBoxLeft * s) - 1;
    var right = Math.ceil(m.actualBoundingBoxRight * s) + 1;
    var top = Math.ceil(m.actualBoundingBoxAscent) + 1;
    var bottom = Math.ceil(m.actualBoundingBoxDescent) + 1;
    var width = Math.max(1, right - left), rows = Math.max(1, top + bottom);
    if (glyphCanvas.width < width || glyphCanvas.height < rows) {
      glyphCanvas.width = Math.max(glyphCanvas.width, width);
      glyphCanvas.height = Math.max(glyphCanvas.height, rows);
      g = useFont(id, yPpem);
    }
    g.setTransform(1, 0, 0, 1, 0, 0);
    g.clearRect(0, 0, width, rows);
    g.setTransform(s, 0, 0, 1, -left, top);
    g.fillStyle = '#fff';
    g.textBaseline = 'alphabetic';
    g.fillText(text, 0, 0);
    g.setTransform(1, 0, 0, 1, 0, 0);
    glyphImage = g.getImageData(0, 0, width, rows);
    var values = [width, rows, left, top];
    for (var i = 0; i < 4; i++) HEAP32[(out >> 2) + i] = values[i];
  }

  // Copies the last rendered glyph's alpha into width x rows bytes at ptr.
  function takeGlyph(ptr) {
    var d = glyphImage.data, n = d.length >> 2;
    for (var i = 0; i < n; i++) HEAPU8[ptr + i] = d[i * 4 + 3];
    glyphImage = null;
  }

  return {start: start, createWindow: createWindow, destroyWindow: destroyWindow,
          showWindow: showWindow, resizeWindow: resizeWindow, present: present,
          takeEvent: takeEvent, sleep: sleep, readScript: readScript, checkScript: checkScript,
          ended: ended, openFont: openFont, glyphBox: glyphBox, renderGlyph: renderGlyph,
          takeGlyph: takeGlyph};
})();
