// The studio page: follows the player through its event stream and steers
// it through its interface (see the README, "Studio"). The token comes
// from this page's address and goes with every call; once read, it leaves
// the address bar and the browser's history, and stays in this tab's
// session storage so that a reload still has it (the player's cookie opens
// the page itself again).
"use strict";

(function () {
  const params = new URLSearchParams(location.search);
  const token = params.get("token") || sessionStorage.getItem("vortane-token") || "";
  if (token) sessionStorage.setItem("vortane-token", token);
  if (params.has("token")) {
    params.delete("token");
    const rest = params.toString();
    history.replaceState(history.state, "", location.pathname + (rest ? "?" + rest : "") + location.hash);
  }
  const $ = (selector) => document.querySelector(selector);
  const $$ = (selector) => Array.from(document.querySelectorAll(selector));

  const MAX_CONSOLE_LINES = 500;
  const RULER_STEPS = [0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200];
  const MIN_SPAN_MS = 200;        // the deepest zoom shows this much of the demo
  const SNAP_PX = 6;              // an edge or a beat this near snaps
  const GRID_MS = 10;             // times snap to whole 10 ms otherwise
  const NEW_LINE_MS = 2000;       // a line added by a double-click
  const EDGE_PX = 6;              // the ends of a bar, for resizing
  const ITEM_KINDS = ["vt_2D_VTL", "vt_3D_ASE", "vt_MESH", "vt_SKY", "vt_TRANS", "vt_TUNNEL"];

  // What the page knows; window.vortaneStudio for tests and the curious.
  const studio = {
    state: null,        // the last state from the player
    receivedAt: 0,      // performance.now() when it came
    anchorTime: 0,      // the interpolated time's base
    timeline: null,
    connected: false,
    seeks: 0,           // seeks answered by the player
    token,
    view: { from: 0, span: 0 },     // the shown part of the time axis, ms (span 0: all of it)
    selection: null,    // {item, line}: a render line; {item, layer, key}: a layer key (indices)
    open: new Set(),    // the layer items whose lanes are open
    layers: new Map(),  // their layers, by item index: the player's answer
    settings: { tempo: 0, offset: 0 },  // the beat grid (tempo in BPM; 0: none)
    edits: 0,           // edits the player took
    editing: 0,         // edits on their way
  };
  window.vortaneStudio = studio;

  // ------------------------------------------------------------ calls

  async function call(method, path, body) {
    const options = { method, headers: { "X-Vortane-Token": token }, cache: "no-store" };
    if (body !== undefined) {
      options.headers["Content-Type"] = "application/json";
      options.body = JSON.stringify(body);
    }
    const response = await fetch(path, options);
    const answer = await response.json().catch(() => ({}));
    if (!response.ok) {
      const error = new Error(answer.error || response.status + " " + response.statusText);
      error.status = response.status;
      throw error;
    }
    return answer;
  }

  // A state-changing call; its answer is the player's state afterwards.
  async function command(path, body) {
    try {
      takeState(await call("POST", path, body === undefined ? {} : body));
      return true;
    } catch (error) {
      log({ kind: "failed", caption: "Studio", text: path + ": " + error.message });
      return false;
    }
  }

  // ------------------------------------------------------------ time

  function takeState(state) {
    const now = performance.now();
    const old = studio.state;
    const predicted = currentTime(now);
    studio.state = state;
    studio.receivedAt = now;
    // Small differences are eased in so the cursor glides; jumps, pauses
    // and speed changes are taken at once.
    const drift = state.time_ms - predicted;
    const jump = !old || old.paused !== state.paused || old.speed !== state.speed || Math.abs(drift) > 150;
    studio.anchorTime = jump ? state.time_ms : predicted + drift * 0.25;
    showTransport();
  }

  function currentTime(now) {
    const s = studio.state;
    if (!s) return 0;
    if (s.paused) return s.time_ms;
    let t = studio.anchorTime + (now - studio.receivedAt) * s.speed;
    if (s.loop && s.time_ms <= s.loop[1]) t = Math.min(t, s.loop[1]);
    return Math.max(0, Math.min(t, s.end_ms));
  }

  function formatTime(ms) {
    const total = Math.max(0, ms) / 1000;
    const minutes = Math.floor(total / 60);
    const seconds = total - minutes * 60;
    return minutes + ":" + seconds.toFixed(3).padStart(6, "0");
  }

  function endMs() {
    if (studio.state && studio.state.end_ms > 0) return studio.state.end_ms;
    return studio.timeline && studio.timeline.end_ms > 0 ? studio.timeline.end_ms : 1;
  }

  // ------------------------------------------------------------ the view of the time axis

  function viewSpan() {
    return studio.view.span > 0 ? Math.min(studio.view.span, endMs()) : endMs();
  }

  // Where ms falls in the view, 0 at its left edge and 1 at its right.
  function fractionOf(ms) {
    return (ms - studio.view.from) / viewSpan();
  }

  function timeAtFraction(fraction) {
    return studio.view.from + fraction * viewSpan();
  }

  function trackWidth() {
    return Math.max(1, $("#ruler-track").clientWidth);
  }

  // Keeps the view inside the demo; a changed view redraws what shows time.
  function setView(from, span) {
    const end = endMs();
    span = Math.max(Math.min(MIN_SPAN_MS, end), Math.min(span, end));
    from = Math.max(0, Math.min(from, end - span));
    if (from === studio.view.from && span === viewSpan()) return;
    studio.view.from = from;
    studio.view.span = span >= end ? 0 : span;
    placeBars();
    placeKeys();
    showTransport();
    drawRuler();
    drawWaveform();
    loadWaveform();
  }

  function zoomAround(ms, factor) {
    const span = viewSpan();
    const fraction = fractionOf(ms);
    const next = Math.max(MIN_SPAN_MS, Math.min(endMs(), span * factor));
    setView(ms - fraction * next, next);
  }

  // Ctrl+wheel zooms around the pointer, the wheel scrolls; over the labels
  // the wheel scrolls the rows as usual.
  function setUpZoom() {
    $("#timeline").addEventListener("wheel", (event) => {
      const track = event.target.closest(".track");
      if (!track) return;
      event.preventDefault();
      const box = track.getBoundingClientRect();
      const scale = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? box.width : 1;
      if (event.ctrlKey) {
        const at = timeAtFraction((event.clientX - box.left) / Math.max(1, box.width));
        zoomAround(at, Math.exp(event.deltaY * scale * 0.002));
        return;
      }
      const delta = (Math.abs(event.deltaX) > Math.abs(event.deltaY) ? event.deltaX : event.deltaY) * scale;
      setView(studio.view.from + delta / Math.max(1, box.width) * viewSpan(), viewSpan());
    }, { passive: false });
  }

  // ------------------------------------------------------------ transport

  function showTransport() {
    const s = studio.state;
    if (!s) return;
    $("#play").textContent = s.paused ? "Play" : "Pause";
    $("#end").textContent = "/ " + formatTime(s.end_ms);
    for (const button of $$("#speeds button"))
      button.setAttribute("aria-pressed", String(Number(button.dataset.speed) === s.speed));
    $("#loop-text").textContent = s.loop
      ? (s.loop[0] / 1000).toFixed(3) + "–" + (s.loop[1] / 1000).toFixed(3) + " s"
      : pendingLoop.from !== null ? "in at " + (pendingLoop.from / 1000).toFixed(3) + " s" : "off";
    for (const span of $$(".loop-span")) placeSpan(span, s.loop, false);
  }

  function placeSpan(span, loop, pending) {
    span.classList.toggle("shown", !!loop);
    span.classList.toggle("pending", pending);
    if (!loop) return;
    span.style.left = (100 * fractionOf(loop[0])) + "%";
    span.style.width = (100 * (loop[1] - loop[0]) / viewSpan()) + "%";
  }

  const pendingLoop = { from: null };

  function setUpTransport() {
    $("#play").addEventListener("click", togglePlay);
    for (const button of $$("#speeds button"))
      button.addEventListener("click", () => command("/api/speed", { speed: Number(button.dataset.speed) }));
    $("#loop-in").addEventListener("click", () => {
      pendingLoop.from = currentTime(performance.now());
      const s = studio.state;
      if (s && s.loop && s.loop[1] > pendingLoop.from) setLoop(pendingLoop.from, s.loop[1]);
      showTransport();
    });
    $("#loop-out").addEventListener("click", () => {
      const to = currentTime(performance.now());
      const s = studio.state;
      const from = pendingLoop.from !== null ? pendingLoop.from : s && s.loop ? s.loop[0] : 0;
      if (to > from) setLoop(from, to);
    });
    $("#loop-clear").addEventListener("click", () => {
      pendingLoop.from = null;
      command("/api/loop", {});
    });
    document.addEventListener("keydown", (event) => {
      if (editingKey(event)) {
        event.preventDefault();
        return;
      }
      if (event.key !== " " || event.target instanceof HTMLButtonElement) return;
      if (event.target.closest && event.target.closest("input, select, textarea")) return;
      event.preventDefault();
      togglePlay();
    });
  }

  function togglePlay() {
    if (!studio.state) return;
    command(studio.state.paused ? "/api/resume" : "/api/pause");
  }

  // The player loops once playback passes the span's end; from outside
  // the span the page goes to its start, so that the loop is heard.
  async function setLoop(from, to) {
    pendingLoop.from = null;
    from = Math.round(from);
    to = Math.round(to);
    if (!(await command("/api/loop", { from, to }))) return;
    const time = studio.state.time_ms;
    if (time < from || time > to) seek(from);
  }

  // ------------------------------------------------------------ seeking on the ruler

  // One seek at a time; while it is on its way the latest wish waits.
  const seeker = { busy: false, next: null };

  async function seek(ms) {
    seeker.next = ms;
    if (seeker.busy) return;
    seeker.busy = true;
    while (seeker.next !== null) {
      const target = seeker.next;
      seeker.next = null;
      if (await command("/api/seek", { time_ms: target })) studio.seeks++;
    }
    seeker.busy = false;
  }

  function setUpRuler() {
    const track = $("#ruler-track");
    const pendingSpan = track.querySelector(".loop-span");
    let drag = null;  // {loop: bool, from: ms}
    const timeAt = (event) => {
      const box = track.getBoundingClientRect();
      const fraction = Math.max(0, Math.min(1, (event.clientX - box.left) / Math.max(1, box.width)));
      return Math.round(Math.max(0, Math.min(endMs(), timeAtFraction(fraction))));
    };
    track.addEventListener("pointerdown", (event) => {
      if (event.button !== 0) return;
      track.setPointerCapture(event.pointerId);
      drag = { loop: event.shiftKey, from: timeAt(event) };
      if (!drag.loop) seek(drag.from);
      event.preventDefault();
    });
    track.addEventListener("pointermove", (event) => {
      if (!drag) return;
      const at = timeAt(event);
      if (drag.loop) placeSpan(pendingSpan, [Math.min(drag.from, at), Math.max(drag.from, at)], true);
      else seek(at);
    });
    const end = (event) => {
      if (!drag) return;
      const at = timeAt(event);
      if (drag.loop && Math.abs(at - drag.from) >= 1) setLoop(Math.min(drag.from, at), Math.max(drag.from, at));
      drag = null;
      showTransport();
    };
    track.addEventListener("pointerup", end);
    track.addEventListener("pointercancel", end);
  }

  // ------------------------------------------------------------ the timeline

  function baseName(path) {
    const parts = path.split(/[\\/]/);
    return parts[parts.length - 1] || path;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // Resolves once the open lanes' layers are read again.
  function renderTimeline(timeline) {
    if (drag) {
      drag.waiting = timeline;  // shown once the drag ends
      return Promise.resolve();
    }
    studio.timeline = timeline;
    if (studio.selection && !selectedLine() && !selectedKey()) studio.selection = null;
    const list = document.createDocumentFragment();
    for (const item of timeline.items) {
      const findings = item.findings || [];
      const row = element("div", "row line " + item.status + (findings.length ? " findings" : ""));
      row.dataset.index = item.index;
      row.dataset.file = item.file;
      row.dataset.status = item.status;
      const label = element("div", "label");
      label.title = item.type + "  " + item.file + (item.message ? "\n" + item.message : "") +
        findings.map((f) => "\n" + (f.line ? f.line + ": " : "") + f.severity + ": " + f.text).join("");
      label.append(element("span", "kind", item.type.replace(/^vt_/, "")), element("span", "file", baseName(item.file)));
      label.append(itemButtons(item));
      if (item.type === "vt_2D_VTL") label.prepend(lanesToggle(item.index));
      const track = element("div", "track");
      for (const line of item.lines) {
        const kind = line.play === "vt_PLAY" ? "play" : line.play === "vt_UNPLAY" ? "unplay" : "off";
        const bar = element("div", "bar " + kind + (line.mode === 1 ? " mode1" : ""));
        bar.dataset.item = item.index;
        bar.dataset.line = item.lines.indexOf(line);
        bar.title = line.begin + "–" + line.end + " ms, " + line.play + ", time mode " + line.mode;
        track.append(bar);
      }
      if (item.status === "failed") track.append(element("div", "message", item.message.split("\n").join(" · ")));
      row.append(label, track);
      list.append(row);
      if (studio.open.has(item.index)) list.append(...laneRows(item));
    }
    const focused = focusedItemButton();
    $("#row-list").replaceChildren(list);
    focusItemButton(focused);
    const layers = Promise.all(Array.from(studio.open, loadLayers));
    setView(studio.view.from, viewSpan());
    placeBars();
    placeKeys();
    showSelection();
    showTransport();
    requestAnimationFrame(drawRuler);
    loadWaveform(true);
    document.body.dataset.items = String(timeline.items.length);
    return layers;
  }

  // The row button holding the keyboard's focus, by row and action: new
  // rows replace it, and the focus would fall back to the page.
  function focusedItemButton() {
    const button = document.activeElement && document.activeElement.closest("#row-list .item-edit button");
    return button && { index: button.closest(".row").dataset.index, action: button.dataset.action };
  }

  function focusItemButton(at) {
    const button = at && $('#row-list .row[data-index="' + at.index + '"] .item-edit button[data-action="' + at.action + '"]');
    if (button) button.focus();
  }

  // Named with the item's file: a screen reader reads the name, not "↑".
  function itemButtons(item) {
    const buttons = element("span", "item-edit");
    for (const [action, text, title] of [["up", "↑", "Draw earlier"], ["down", "↓", "Draw later"],
                                         ["remove", "✕", "Remove the item from the script"]]) {
      const button = element("button", "", text);
      button.type = "button";
      button.dataset.action = action;
      button.title = title;
      button.setAttribute("aria-label", title + ": " + baseName(item.file));
      buttons.append(button);
    }
    return buttons;
  }

  // Each bar where its line falls in the view (in percent of the track, so
  // that a resize needs no script).
  function placeBars() {
    if (!studio.timeline) return;
    const span = viewSpan();
    for (const bar of $$("#row-list .bar")) {
      const line = lineAt(Number(bar.dataset.item), Number(bar.dataset.line));
      if (line) placeBar(bar, line.begin, line.end, span);
    }
  }

  function placeBar(bar, begin, end, span) {
    const from = Math.max(0, begin), to = Math.max(from, end);
    bar.style.left = (100 * fractionOf(from)) + "%";
    bar.style.width = (100 * (to - from) / span) + "%";
  }

  function itemAt(index) {
    return studio.timeline ? studio.timeline.items.find((item) => item.index === index) : undefined;
  }

  function lineAt(item, line) {
    const found = itemAt(item);
    return found ? found.lines[line] : undefined;
  }

  function selectedLine() {
    const s = studio.selection;
    return s ? lineAt(s.item, s.line) : undefined;
  }

  function barOf(item, line) {
    return $('#row-list .bar[data-item="' + item + '"][data-line="' + line + '"]');
  }

  let timelineRequest = null;
  function loadTimeline() {
    clearTimeout(timelineRequest);
    timelineRequest = setTimeout(async () => {
      try {
        renderTimeline(await call("GET", "/api/timeline"));
      } catch (error) {
        log({ kind: "failed", caption: "Studio", text: "timeline: " + error.message });
      }
    }, 50);
  }

  // ------------------------------------------------------------ ruler and waveform

  function fitCanvas(canvas) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = canvas.getContext("2d");
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    return { context, width: canvas.clientWidth, height: canvas.clientHeight };
  }

  function drawRuler() {
    const { context, width, height } = fitCanvas($("#ruler"));
    context.clearRect(0, 0, width, height);
    const seconds = viewSpan() / 1000;
    const first = studio.view.from / 1000;
    const step = RULER_STEPS.find((s) => (s / seconds) * width >= 64) || RULER_STEPS[RULER_STEPS.length - 1];
    const digits = step < 0.1 ? 2 : step < 1 ? 1 : 0;
    const style = getComputedStyle(document.documentElement);
    context.strokeStyle = style.getPropertyValue("--line").trim() || "#333";
    context.fillStyle = style.getPropertyValue("--dim").trim() || "#999";
    context.font = "11px system-ui, sans-serif";
    context.textBaseline = "top";
    context.beginPath();
    for (let i = Math.floor(first / step); i * step <= first + seconds + 1e-9; i++) {
      const s = i * step;
      const x = Math.round(((s - first) / seconds) * width) + 0.5;
      context.moveTo(x, height - 8);
      context.lineTo(x, height);
      const minor = x + ((step / 2) / seconds) * width;
      if (minor < width) {
        context.moveTo(Math.round(minor) + 0.5, height - 4);
        context.lineTo(Math.round(minor) + 0.5, height);
      }
      const text = s.toFixed(digits);
      const textWidth = context.measureText(text).width;
      context.fillText(text, Math.min(x + 3, width - textWidth - 2), 3);
    }
    context.stroke();
    drawBeats(context, width, height);
  }

  // The beat grid the edits snap to, as marks under the ruler's numbers.
  function drawBeats(context, width, height) {
    const beat = beatMs();
    if (!beat || viewSpan() / beat > width / 4) return;
    context.strokeStyle = "rgba(232, 93, 216, 0.6)";
    context.beginPath();
    const from = studio.view.from, span = viewSpan();
    for (let i = Math.ceil((from - studio.settings.offset) / beat); ; i++) {
      const x = Math.round(((studio.settings.offset + i * beat - from) / span) * width) + 0.5;
      if (x > width) break;
      context.moveTo(x, height - 14);
      context.lineTo(x, height - 9);
    }
    context.stroke();
  }

  let waveform = null;
  function drawWaveform() {
    const { context, width, height } = fitCanvas($("#waveform"));
    context.clearRect(0, 0, width, height);
    const middle = height / 2;
    context.fillStyle = "rgba(255,255,255,0.08)";
    context.fillRect(0, Math.floor(middle), width, 1);
    if (!waveform || waveform.min.length === 0) return;
    context.fillStyle = "#6fb1e8";
    const columns = waveform.min.length;
    const end = endMs(), span = viewSpan();
    const columnWidth = (end / columns / span) * width;
    const first = Math.max(0, Math.floor((studio.view.from / end) * columns));
    const last = Math.min(columns, Math.ceil(((studio.view.from + span) / end) * columns));
    for (let c = first; c < last; c++) {
      const x = ((c / columns) * end - studio.view.from) / span * width;
      const top = middle - waveform.max[c] * middle;
      const bottom = middle - waveform.min[c] * middle;
      context.fillRect(x, top, Math.max(columnWidth, 0.5), Math.max(1, bottom - top));
    }
  }

  // The music's columns for the view's zoom, read again when the zoom needs
  // more of them or (forced) when the demo changed.
  let waveformRequest = null, waveformForced = false;
  function loadWaveform(force) {
    clearTimeout(waveformRequest);
    waveformForced = waveformForced || !!force;
    waveformRequest = setTimeout(async () => {
      const canvas = $("#waveform");
      const zoom = endMs() / viewSpan();
      const pixels = canvas.clientWidth * (window.devicePixelRatio || 1) * zoom;
      const columns = Math.max(1, Math.min(16384, Math.round(pixels)));
      if (!waveformForced && waveform && waveform.columns === columns) return;
      waveformForced = false;
      try {
        waveform = await call("GET", "/api/waveform?columns=" + columns);
      } catch (error) {
        waveform = null;
      }
      drawWaveform();
    }, 150);
  }

  // ------------------------------------------------------------ edits

  // Edits go to the player one after another; each builds its request from
  // the timeline (and the open lanes' layers) the previous one answered, so
  // that it names the version of the file it was made on. A 409 means the
  // file changed on disk meanwhile: the page reads the timeline again and
  // the edit is dropped.
  let editChain = Promise.resolve();
  function edit(path, makeBody, takeAnswer) {
    studio.editing++;
    editChain = editChain.then(async () => {
      const body = studio.timeline && makeBody(studio.timeline);
      if (!body) return;
      try {
        await (takeAnswer || renderTimeline)(await call("POST", path, body));
        studio.edits++;
      } catch (error) {
        await editFailed(path, error);
      }
    }).finally(() => studio.editing--);
    return editChain;
  }

  async function editFailed(path, error) {
    if (error.status === 409) {
      log({ kind: "warning", caption: "Studio", text: "the file changed on disk since the page read it; the timeline is read again" });
    } else if (error.status === 404 && /undo|redo/.test(path)) {
      log({ kind: "information", caption: "Studio", text: "nothing to " + path.split("/").pop() });
      return;
    } else {
      log({ kind: "failed", caption: "Studio", text: path + ": " + error.message });
    }
    try {
      renderTimeline(await call("GET", "/api/timeline"));
    } catch (ignored) {
      loadTimeline();
    }
  }

  function scriptVersion(timeline) {
    return timeline.script ? timeline.script.version : null;
  }

  // Rewrites one render line with changes ({begin, end, mode, play}).
  function editLine(item, index, changes) {
    return edit("/api/edit/line", (timeline) => {
      const line = lineAt(item, index);
      if (!line) return null;
      const next = Object.assign({ begin: line.begin, end: line.end, mode: line.mode, play: line.play }, changes);
      if (next.begin === line.begin && next.end === line.end && next.mode === line.mode && next.play === line.play)
        return null;
      return Object.assign({ item, line: index, version: scriptVersion(timeline) }, lineValues(next));
    });
  }

  // A direction the player cannot write (a line that never draws) is left
  // as the file has it.
  function lineValues(line) {
    const values = { begin: line.begin, end: line.end, mode: line.mode };
    if (line.play === "vt_PLAY" || line.play === "vt_UNPLAY") values.play = line.play;
    return values;
  }

  function nudge(delta) {
    const s = studio.selection;
    if (!s) return;
    const key = selectedKey();
    if (key) {
      editKey(s, { time: Math.max(0, key.time + delta) });
      return;
    }
    edit("/api/edit/line", (timeline) => {
      const line = lineAt(s.item, s.line);
      if (!line) return null;
      const shift = Math.max(-line.begin, delta);
      if (shift === 0) return null;
      const values = lineValues(Object.assign({}, line, { begin: line.begin + shift, end: line.end + shift }));
      return Object.assign({ item: s.item, line: s.line, version: scriptVersion(timeline) }, values);
    });
  }

  function deleteSelection() {
    const s = studio.selection;
    if (!s) return;
    if (s.layer !== undefined) {
      deleteKey(s);
      return;
    }
    studio.selection = null;
    edit("/api/edit/line/delete", (timeline) => ({ item: s.item, line: s.line, version: scriptVersion(timeline) }));
  }

  function addLine(item, at) {
    const begin = Math.max(0, Math.round(at));
    edit("/api/edit/line/add", (timeline) => ({ item, begin, end: begin + NEW_LINE_MS, mode: 0, play: "vt_PLAY",
                                                version: scriptVersion(timeline) }));
  }

  function undo(again) {
    edit(again ? "/api/redo" : "/api/undo", () => ({}));
  }

  // ------------------------------------------------------------ snapping

  function beatMs() {
    const tempo = Number(studio.settings.tempo);
    return tempo > 0 ? 60000 / tempo : 0;
  }

  // The times an edge near ms may snap to: the other lines' edges and the
  // nearest beat.
  function snapTargets(ms, except) {
    const targets = [];
    for (const item of studio.timeline.items)
      item.lines.forEach((line, index) => {
        if (except && item.index === except.item && index === except.line) return;
        targets.push(line.begin, line.end);
      });
    const beat = beatMs();
    if (beat) targets.push(Math.round(studio.settings.offset + Math.round((ms - studio.settings.offset) / beat) * beat));
    return targets;
  }

  // {time, target}: ms on the nearest target within SNAP_PX, else on the
  // 10 ms grid; Alt leaves it as it is (whole milliseconds).
  function snap(ms, except, free) {
    if (free) return { time: Math.round(ms), target: false };
    const reach = (SNAP_PX / trackWidth()) * viewSpan();
    let best = null;
    for (const target of snapTargets(ms, except))
      if (Math.abs(target - ms) <= reach && (best === null || Math.abs(target - ms) < Math.abs(best - ms)))
        best = target;
    return best !== null ? { time: best, target: true } : { time: Math.round(ms / GRID_MS) * GRID_MS, target: false };
  }

  // Begin and end of a dragged line: a move keeps the length and snaps the
  // edge nearer a target, a resize snaps its own edge.
  function draggedTimes(d, ms, free) {
    const except = { item: d.item, line: d.line };
    const length = d.end - d.begin;
    if (d.part === "begin") return { begin: Math.max(0, Math.min(d.end, snap(d.begin + ms, except, free).time)), end: d.end };
    if (d.part === "end") return { begin: d.begin, end: Math.max(d.begin, snap(d.end + ms, except, free).time) };
    const head = snap(d.begin + ms, except, free), tail = snap(d.end + ms, except, free);
    const useTail = tail.target && (!head.target || Math.abs(tail.time - d.end - ms) < Math.abs(head.time - d.begin - ms));
    const begin = Math.max(0, useTail ? tail.time - length : head.time);
    return { begin, end: begin + length };
  }

  // ------------------------------------------------------------ selecting and dragging

  // The drag under way: a line's bar ({item, line, part, begin, end, x}) or
  // the view ({pan, from, x}); a timeline that comes meanwhile waits in
  // drag.waiting.
  let drag = null;

  function barPart(bar, event) {
    const box = bar.getBoundingClientRect();
    const edge = Math.min(EDGE_PX, box.width / 3);
    if (event.clientX - box.left <= edge) return "begin";
    if (box.right - event.clientX <= edge) return "end";
    return "move";
  }

  function select(selection) {
    studio.selection = selection;
    showSelection();
  }

  function showSelection() {
    for (const node of $$("#row-list .selected")) node.classList.remove("selected");
    const s = studio.selection;
    if (s && s.layer !== undefined) {
      for (const mark of $$('#row-list .key-mark[data-item="' + s.item + '"][data-layer="' + s.layer + '"][data-key="' + s.key + '"]'))
        mark.classList.add("selected");
    } else if (s) {
      const bar = barOf(s.item, s.line);
      if (bar) bar.classList.add("selected");
    }
    showInspector();
  }

  function setUpRows() {
    const rows = $("#row-list");
    rows.addEventListener("pointerdown", (event) => {
      const track = event.target.closest(".track");
      if (event.button !== 0 || !track || !studio.timeline) return;
      const bar = event.target.closest(".bar");
      const mark = event.target.closest(".key-mark");
      rows.setPointerCapture(event.pointerId);
      event.preventDefault();
      if (mark) {
        const d = mark.dataset;
        select({ item: Number(d.item), layer: Number(d.layer), key: Number(d.key) });
        drag = { item: Number(d.item), layer: Number(d.layer), key: Number(d.key), line: Number(d.line),
                 time: Number(d.time), x: event.clientX, mark };
        return;
      }
      if (!bar) {
        drag = { pan: true, from: studio.view.from, x: event.clientX, moved: false };
        return;
      }
      const item = Number(bar.dataset.item), line = Number(bar.dataset.line);
      const found = lineAt(item, line);
      select({ item, line });
      drag = { item, line, part: barPart(bar, event), begin: found.begin, end: found.end, x: event.clientX, bar };
    });
    rows.addEventListener("pointermove", (event) => {
      if (!drag) {
        const bar = event.target.closest(".bar");
        if (bar) bar.style.cursor = barPart(bar, event) === "move" ? "grab" : "col-resize";
        return;
      }
      const ms = ((event.clientX - drag.x) / trackWidth()) * viewSpan();
      if (drag.pan) {
        drag.moved = drag.moved || Math.abs(event.clientX - drag.x) > 2;
        setView(drag.from - ms, viewSpan());
        return;
      }
      if (drag.mark) {
        dragKey(drag, event.clientX - drag.x, event.altKey);
        return;
      }
      drag.now = draggedTimes(drag, ms, event.altKey);
      placeBar(drag.bar, drag.now.begin, drag.now.end, viewSpan());
      showInspector(drag.now);
    });
    const end = () => {
      if (!drag) return;
      const done = drag;
      drag = null;
      if (done.pan && !done.moved) select(null);
      if (done.mark && done.now !== undefined) editKey(done, { time: done.now });
      else if (done.now) editLine(done.item, done.line, done.now);
      if (done.waiting) renderTimeline(done.waiting);
      else if (done.mark) showLanes(done.item);
    };
    rows.addEventListener("pointerup", end);
    rows.addEventListener("pointercancel", end);
    rows.addEventListener("dblclick", (event) => {
      // The rows held the pointer, so the event's target is the list itself.
      const under = document.elementFromPoint(event.clientX, event.clientY);
      const track = under && under.closest("#row-list .track");
      if (!track || under.closest(".bar, .key-mark")) return;
      const box = track.getBoundingClientRect();
      const at = snap(timeAtFraction((event.clientX - box.left) / Math.max(1, box.width)), null, event.altKey).time;
      const lane = track.closest(".lane");
      if (!lane) {
        addLine(Number(track.closest(".row").dataset.index), at);
        return;
      }
      const item = itemAt(Number(lane.dataset.item));
      const line = item && item.lines.find((l) => l.begin <= at && at <= l.end && keyDemoTimes(l, 0).length);
      if (line) addKey(item.index, Number(lane.dataset.layer), Math.round(itemTime(line, at)));
    });
  }

  // ------------------------------------------------------------ the inspector

  function showInspector(dragged) {
    const box = $("#inspector");
    const s = studio.selection;
    const key = selectedKey();
    box.classList.toggle("key", !!key);
    if (key) {
      showKey(s, key, dragged && dragged.keyTime);
      return;
    }
    const line = selectedLine();
    box.classList.toggle("empty", !line);
    if (!line) {
      $("#inspector-what").textContent = "Select a bar; double-click an empty place in a row to add one";
      return;
    }
    const item = itemAt(s.item);
    const times = dragged || line;
    $("#inspector-what").textContent = "Item " + s.item + " (" + baseName(item.file) + "), line " + s.line;
    setField("#line-begin", times.begin);
    setField("#line-end", times.end);
    setField("#line-mode", String(line.mode));
    const direction = $("#line-play");
    direction.textContent = line.play === "vt_UNPLAY" ? "◀ backwards" : line.play === "vt_PLAY" ? "▶ forward" : "off";
    direction.setAttribute("aria-pressed", String(line.play === "vt_UNPLAY"));
  }

  function showKey(s, key, draggedTime) {
    $("#inspector").classList.remove("empty");
    const layer = studio.layers.get(s.item).layers[s.layer];
    $("#inspector-what").textContent = "Item " + s.item + ", layer " + layer.index + ", key " + s.key;
    for (const name of ["x", "y", "angle", "width", "height", "a"]) setField("#key-" + name, key[name]);
    setField("#key-time", draggedTime !== undefined ? draggedTime : key.time);
    setField("#key-interpolation", String(key.interpolation));
    const hex = (v) => Math.max(0, Math.min(255, Math.round(v))).toString(16).padStart(2, "0");
    setField("#key-colour", "#" + hex(key.r) + hex(key.g) + hex(key.b));
  }

  // Only the field changed goes: the others may show values the file no
  // longer holds (a drag's answer still on its way).
  function keyChanged(event) {
    if (!selectedKey()) return;
    const field = event.target;
    const changes = {};
    if (field.id === "key-colour") {
      for (const [name, at] of [["r", 1], ["g", 3], ["b", 5]])
        changes[name] = parseInt(field.value.slice(at, at + 2), 16);
    } else {
      changes[field.id.slice("key-".length)] = Number(field.value);
    }
    editKey(studio.selection, changes);
  }

  // A field being typed in keeps what the author typed.
  function setField(selector, value) {
    const field = $(selector);
    if (document.activeElement !== field) field.value = value;
  }

  function setUpInspector() {
    const changed = () => {
      const s = studio.selection;
      if (!s) return;
      editLine(s.item, s.line, {
        begin: Number($("#line-begin").value),
        end: Number($("#line-end").value),
        mode: Number($("#line-mode").value),
      });
    };
    for (const id of ["#line-begin", "#line-end", "#line-mode"]) $(id).addEventListener("change", changed);
    $("#line-play").addEventListener("click", () => {
      const s = studio.selection, line = selectedLine();
      if (line) editLine(s.item, s.line, { play: line.play === "vt_UNPLAY" ? "vt_PLAY" : "vt_UNPLAY" });
    });
    $("#line-delete").addEventListener("click", deleteSelection);
    for (const field of $$("#key-fields input, #key-fields select")) field.addEventListener("change", keyChanged);
    $("#key-delete").addEventListener("click", deleteSelection);
    $("#undo").addEventListener("click", () => undo(false));
    $("#redo").addEventListener("click", () => undo(true));
  }

  // Keys for the selection and the history; fields keep their own keys.
  function editingKey(event) {
    if (event.target.closest && event.target.closest("input, select, textarea")) return false;
    const command = event.ctrlKey || event.metaKey;
    if (command && (event.key === "z" || event.key === "Z")) {
      undo(event.shiftKey);
      return true;
    }
    if (command && event.key === "y") {
      undo(true);
      return true;
    }
    if (command || event.altKey) return false;
    if (event.key === "Delete" || event.key === "Backspace") {
      if (!studio.selection) return false;
      deleteSelection();
      return true;
    }
    if (event.key === "ArrowLeft" || event.key === "ArrowRight") {
      if (!studio.selection) return false;
      nudge((event.key === "ArrowLeft" ? -1 : 1) * (event.shiftKey ? 100 : 10));
      return true;
    }
    if (event.key === "Escape") {
      select(null);
      return true;
    }
    return false;
  }

  // ------------------------------------------------------------ layer keys

  function lanesToggle(index) {
    const button = element("button", "lanes-toggle", studio.open.has(index) ? "▾" : "▸");
    button.type = "button";
    button.title = "Show the layers and their keys";
    button.setAttribute("aria-expanded", String(studio.open.has(index)));
    return button;
  }

  function toggleLanes(index) {
    if (studio.open.has(index)) studio.open.delete(index);
    else studio.open.add(index);
    if (studio.selection && studio.selection.layer !== undefined && studio.selection.item === index)
      studio.selection = null;
    renderTimeline(studio.timeline);
  }

  async function loadLayers(index) {
    try {
      const layers = await call("GET", "/api/layers?item=" + index);
      if (!studio.open.has(index)) return;
      studio.layers.set(index, layers);
      showLanes(index);
    } catch (error) {
      log({ kind: "failed", caption: "Studio", text: "layers of item " + index + ": " + error.message });
    }
  }

  // The lanes of one item anew, where they stand in the list.
  function showLanes(index) {
    if (drag) return;  // the drag's end shows them
    for (const lane of $$('#row-list .lane[data-item="' + index + '"]')) lane.remove();
    const row = $('#row-list .row[data-index="' + index + '"]');
    const item = itemAt(index);
    if (!row || !item) return;
    row.after(...laneRows(item));
    placeKeys();
    showSelection();
  }

  function laneRows(item) {
    const data = studio.layers.get(item.index);
    if (!data) return [];
    return data.layers.map((layer, l) => {
      const lane = element("div", "lane line");
      lane.dataset.item = item.index;
      lane.dataset.layer = l;
      const label = element("div", "label dim", "layer " + layer.index + "  " + baseName(layer.source));
      label.title = layer.source + "\nDouble-click the lane to add a key";
      const track = element("div", "track");
      layer.keys.forEach((key, k) => {
        item.lines.forEach((line, n) => {
          for (const t of keyDemoTimes(line, key.time)) {
            const mark = element("div", "key-mark");
            Object.assign(mark.dataset, { item: item.index, layer: l, key: k, line: n, time: t });
            mark.title = "key " + k + " at " + key.time + " ms of item time";
            mark.style.background = "rgb(" + [key.r, key.g, key.b].map(Math.round).join(",") + ")";
            track.append(mark);
          }
        });
      });
      lane.append(label, track);
      return lane;
    });
  }

  function placeKeys() {
    for (const mark of $$("#row-list .key-mark")) mark.style.left = (100 * fractionOf(Number(mark.dataset.time))) + "%";
  }

  // The item's own time at demo time t through line (what the player hands
  // the item): counting up from begin, or down to it backwards; time mode 1
  // scales it by t / 20000.
  function itemTime(line, t) {
    const local = line.play === "vt_UNPLAY" ? line.end - t : t - line.begin;
    return line.mode === 1 ? local * t / 20000 : local;
  }

  // The demo times within line at which the item's time is k.
  function keyDemoTimes(line, k) {
    if (line.play !== "vt_PLAY" && line.play !== "vt_UNPLAY") return [];
    let times;
    if (line.mode !== 1) times = [line.play === "vt_PLAY" ? line.begin + k : line.end - k];
    else if (line.play === "vt_PLAY") times = [(line.begin + Math.sqrt(line.begin * line.begin + 80000 * k)) / 2];
    else {
      const d = line.end * line.end - 80000 * k;
      times = d < 0 ? [] : [(line.end - Math.sqrt(d)) / 2, (line.end + Math.sqrt(d)) / 2];
    }
    return times.filter((t) => t >= line.begin && t <= line.end);
  }

  function keyAt(item, layer, key) {
    const data = studio.layers.get(item);
    const found = data && data.layers[layer];
    return found ? found.keys[key] : undefined;
  }

  function selectedKey() {
    const s = studio.selection;
    return s && s.layer !== undefined ? keyAt(s.item, s.layer, s.key) : undefined;
  }

  // Key times stay in order and apart, as the layer's reader expects.
  function keyTimeLimits(item, layer, key) {
    const keys = studio.layers.get(item).layers[layer].keys;
    return [key > 0 ? keys[key - 1].time + 1 : 0, key + 1 < keys.length ? keys[key + 1].time - 1 : Infinity];
  }

  const KEY_NAMES = ["time", "x", "y", "interpolation", "angle", "width", "height", "r", "g", "b", "a"];

  // A key edit names the layer file's version; its answer, a timeline or
  // the item's layers, is shown, and the lanes are read again.
  function keyEdit(path, item, makeBody) {
    return edit(path, () => {
      const data = studio.layers.get(item);
      const body = data && makeBody(data);
      return body && Object.assign({ item, version: data.version }, body);
    }, (answer) => (answer && answer.items ? renderTimeline(answer) : loadLayers(item)));
  }

  function editKey(s, changes) {
    keyEdit("/api/edit/key", s.item, (data) => {
      const key = data.layers[s.layer] && data.layers[s.layer].keys[s.key];
      if (!key) return null;
      const values = {};
      for (const name of KEY_NAMES) values[name] = name in changes ? changes[name] : key[name];
      const [low, high] = keyTimeLimits(s.item, s.layer, s.key);
      values.time = Math.max(low, Math.min(high, Math.round(values.time)));
      if (KEY_NAMES.every((name) => values[name] === key[name])) return null;
      return { layer: s.layer, key: s.key, values };
    });
  }

  // A new key at item time k takes the values of the key before it.
  function addKey(item, layer, k) {
    keyEdit("/api/edit/key/add", item, (data) => {
      const keys = data.layers[layer].keys;
      if (keys.some((key) => key.time === k)) return null;
      const before = keys.filter((key) => key.time < k).pop() || keys[0];
      const values = before ? Object.assign({}, before) : { x: 512, y: 384, interpolation: 0, angle: 0, width: 128,
                                                          height: 128, r: 255, g: 255, b: 255, a: 255 };
      values.time = k;
      const picked = {};
      for (const name of KEY_NAMES) picked[name] = values[name];
      return { layer, values: picked };
    });
  }

  function deleteKey(s) {
    studio.selection = null;
    keyEdit("/api/edit/key/delete", s.item, () => ({ layer: s.layer, key: s.key }));
  }

  function dragKey(d, dx, free) {
    const line = itemAt(d.item).lines[d.line];
    const t = snap(d.time + (dx / trackWidth()) * viewSpan(), null, free).time;
    const [low, high] = keyTimeLimits(d.item, d.layer, d.key);
    d.now = Math.max(low, Math.min(high, Math.round(itemTime(line, Math.max(line.begin, Math.min(line.end, t))))));
    const at = keyDemoTimes(line, d.now);
    if (at.length) d.mark.style.left = (100 * fractionOf(at[0])) + "%";
    showInspector({ keyTime: d.now });
  }

  // ------------------------------------------------------------ items and the beat grid

  // A move made from the keyboard leaves the focus on the moved item's
  // button, so that the next key press moves it on.
  function editItem(action, item, fromKeyboard) {
    studio.selection = null;
    studio.open.clear();  // the indices change
    const count = studio.timeline.items.length;
    if (action === "remove") {
      edit("/api/edit/item/delete", (timeline) => ({ item, version: scriptVersion(timeline) }));
      return;
    }
    const to = item + (action === "up" ? -1 : 1);
    if (to < 0 || to >= count) return;
    const render = (timeline) => {
      const layers = renderTimeline(timeline);
      if (fromKeyboard) focusItemButton({ index: to, action });
      return layers;
    };
    edit("/api/edit/item/move", (timeline) => ({ item, to, version: scriptVersion(timeline) }), render);
  }

  // The kind's files for the file field's suggestions.
  async function listFiles() {
    const type = $("#item-kind").value;
    const list = $("#item-files");
    try {
      const answer = await call("GET", "/api/files?type=" + encodeURIComponent(type));
      list.replaceChildren(...answer.files.map((file) => Object.assign(element("option"), { value: file })));
      if (!$("#item-file").value && answer.files.length) $("#item-file").placeholder = answer.files[0];
    } catch (error) {
      list.replaceChildren();
    }
  }

  function addItem() {
    const type = $("#item-kind").value;
    const file = $("#item-file").value.trim() || $("#item-file").placeholder;
    if (!file) return;
    edit("/api/edit/item/add", (timeline) => ({ type, file, at: timeline.items.length,
                                                version: scriptVersion(timeline) }));
  }

  function takeSettings(settings) {
    studio.settings = { tempo: Number(settings.tempo) || 0, offset: Number(settings.offset) || 0 };
    setField("#tempo", studio.settings.tempo || "");
    setField("#offset", studio.settings.offset);
    drawRuler();
  }

  async function saveSettings() {
    const tempo = Number($("#tempo").value);
    const body = { tempo: tempo > 0 ? tempo : null, offset: Number($("#offset").value) || 0 };
    try {
      takeSettings(await call("POST", "/api/settings", body));
    } catch (error) {
      log({ kind: "failed", caption: "Studio", text: "settings: " + error.message });
    }
  }

  function setUpItems() {
    $("#row-list").addEventListener("click", (event) => {
      const button = event.target.closest(".item-edit button");
      // A click from Enter or Space has no pointer press (detail 0).
      if (button) editItem(button.dataset.action, Number(button.closest(".row").dataset.index), event.detail === 0);
      const toggle = event.target.closest(".lanes-toggle");
      if (toggle) toggleLanes(Number(toggle.closest(".row").dataset.index));
    });
    const kinds = $("#item-kind");
    for (const kind of ITEM_KINDS) kinds.append(Object.assign(element("option", "", kind), { value: kind }));
    kinds.addEventListener("change", () => {
      $("#item-file").placeholder = "";
      listFiles();
    });
    $("#item-add").addEventListener("click", addItem);
    $("#tempo").addEventListener("change", saveSettings);
    $("#offset").addEventListener("change", saveSettings);
    listFiles();
    call("GET", "/api/settings").then(takeSettings).catch(() => {});
  }

  // ------------------------------------------------------------ console

  function log(entry) {
    const list = $("#console");
    const atBottom = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
    const line = element("li", entry.kind);
    if (entry.time_ms !== undefined) line.append(element("span", "when", formatTime(entry.time_ms)));
    line.append(element("span", "caption", entry.caption), document.createTextNode(entry.text.split("\n").join(" · ")));
    list.append(line);
    while (list.childElementCount > MAX_CONSOLE_LINES) list.firstElementChild.remove();
    if (atBottom) list.scrollTop = list.scrollHeight;
  }

  function logReload(event) {
    const what = event.index >= 0 ? "item " + event.index + ", " : "";
    const kind = event.status === "failed" ? "failed" : "reload";
    log({ kind, caption: "Reload", text: event.file + " (" + what + event.status + ")" });
  }

  // ------------------------------------------------------------ the player's events

  function connect() {
    const source = new EventSource("/api/events?token=" + encodeURIComponent(token));
    const link = $("#link");
    source.addEventListener("open", () => {
      studio.connected = true;
      link.textContent = "following the player";
      link.classList.remove("bad");
      loadTimeline();
    });
    source.addEventListener("error", () => {
      studio.connected = false;
      link.textContent = "the player is not reachable; retrying";
      link.classList.add("bad");
    });
    source.addEventListener("time", (event) => takeState(JSON.parse(event.data)));
    source.addEventListener("message", (event) => log(JSON.parse(event.data)));
    source.addEventListener("reload", (event) => {
      logReload(JSON.parse(event.data));
      loadTimeline();
    });
    // An edit another page or tool made; this page's own are shown already.
    source.addEventListener("edit", () => loadTimeline());
  }

  // ------------------------------------------------------------ the cursor

  // The cursors with their tracks' widths (kept by a ResizeObserver, so
  // that a frame reads no layout).
  let cursors = [];
  let clock = null;
  function drawCursor() {
    const time = currentTime(performance.now());
    const fraction = fractionOf(time);
    const outside = fraction < 0 || fraction > 1;
    for (const cursor of cursors) {
      const x = outside ? "-8" : (fraction * cursor.width).toFixed(1);
      if (x !== cursor.x) cursor.node.style.transform = "translateX(" + (cursor.x = x) + "px)";
    }
    const text = formatTime(time);
    if (text !== clock.textContent) clock.textContent = text;
  }

  function animate() {
    drawCursor();
    requestAnimationFrame(animate);
  }

  studio.render = (timeline) => renderTimeline(timeline);
  studio.frame = () => drawCursor();

  function start() {
    if (!token) {
      document.body.textContent = "Open the address the player printed (it carries the token).";
      return;
    }
    setUpTransport();
    setUpRuler();
    setUpZoom();
    setUpRows();
    setUpInspector();
    setUpItems();
    cursors = $$(".cursor").map((node) => ({ node, width: node.parentElement.clientWidth, x: "" }));
    let resizeTimer = null;
    const resized = new ResizeObserver(() => {
      for (const cursor of cursors) cursor.width = cursor.node.parentElement.clientWidth;
      clearTimeout(resizeTimer);
      resizeTimer = setTimeout(() => {
        drawRuler();
        drawWaveform();
        loadWaveform();
      }, 100);
    });
    for (const cursor of cursors) resized.observe(cursor.node.parentElement);
    call("GET", "/api/state").then(takeState).catch(() => {});
    loadTimeline();
    connect();
    clock = $("#clock");
    requestAnimationFrame(animate);
  }

  start();
})();
