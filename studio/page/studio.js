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
  const RULER_STEPS = [0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200];

  // What the page knows; window.vortaneStudio for tests and the curious.
  const studio = {
    state: null,        // the last state from the player
    receivedAt: 0,      // performance.now() when it came
    anchorTime: 0,      // the interpolated time's base
    timeline: null,
    connected: false,
    seeks: 0,           // seeks answered by the player
    token,
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
    if (!response.ok) throw new Error(answer.error || response.status + " " + response.statusText);
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
    const end = endMs();
    span.style.left = (100 * loop[0] / end) + "%";
    span.style.width = (100 * (loop[1] - loop[0]) / end) + "%";
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
      if (event.key !== " " || event.target instanceof HTMLButtonElement) return;
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
      return Math.round(fraction * endMs());
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

  function renderTimeline(timeline) {
    studio.timeline = timeline;
    const end = timeline.end_ms > 0 ? timeline.end_ms : 1;
    const list = document.createDocumentFragment();
    for (const item of timeline.items) {
      const row = element("div", "row line " + item.status);
      row.dataset.index = item.index;
      row.dataset.file = item.file;
      row.dataset.status = item.status;
      const label = element("div", "label");
      label.title = item.type + "  " + item.file + (item.message ? "\n" + item.message : "");
      label.append(element("span", "kind", item.type.replace(/^vt_/, "")), element("span", "file", baseName(item.file)));
      const track = element("div", "track");
      for (const line of item.lines) {
        const kind = line.play === "vt_PLAY" ? "play" : line.play === "vt_UNPLAY" ? "unplay" : "off";
        const bar = element("div", "bar " + kind + (line.mode === 1 ? " mode1" : ""));
        const from = Math.max(0, Math.min(line.begin, end)), to = Math.max(from, Math.min(line.end, end));
        bar.style.left = (100 * from / end) + "%";
        bar.style.width = (100 * (to - from) / end) + "%";
        bar.title = line.begin + "–" + line.end + " ms, " + line.play + ", time mode " + line.mode;
        track.append(bar);
      }
      if (item.status === "failed") track.append(element("div", "message", item.message.split("\n").join(" · ")));
      row.append(label, track);
      list.append(row);
    }
    $("#row-list").replaceChildren(list);
    showTransport();
    requestAnimationFrame(drawRuler);
    loadWaveform();
    document.body.dataset.items = String(timeline.items.length);
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
    const seconds = endMs() / 1000;
    const step = RULER_STEPS.find((s) => (s / seconds) * width >= 64) || RULER_STEPS[RULER_STEPS.length - 1];
    const style = getComputedStyle(document.documentElement);
    context.strokeStyle = style.getPropertyValue("--line").trim() || "#333";
    context.fillStyle = style.getPropertyValue("--dim").trim() || "#999";
    context.font = "11px system-ui, sans-serif";
    context.textBaseline = "top";
    context.beginPath();
    for (let i = 0; i * step <= seconds + 1e-9; i++) {
      const s = i * step;
      const x = Math.round((s / seconds) * width) + 0.5;
      context.moveTo(x, height - 8);
      context.lineTo(x, height);
      const minor = x + ((step / 2) / seconds) * width;
      if (minor < width) {
        context.moveTo(Math.round(minor) + 0.5, height - 4);
        context.lineTo(Math.round(minor) + 0.5, height);
      }
      const text = step < 1 ? s.toFixed(1) : String(Math.round(s));
      const textWidth = context.measureText(text).width;
      context.fillText(text, Math.min(x + 3, width - textWidth - 2), 3);
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
    for (let c = 0; c < columns; c++) {
      const x = (c / columns) * width;
      const top = middle - waveform.max[c] * middle;
      const bottom = middle - waveform.min[c] * middle;
      context.fillRect(x, top, Math.max(width / columns, 0.5), Math.max(1, bottom - top));
    }
  }

  let waveformRequest = null;
  function loadWaveform() {
    clearTimeout(waveformRequest);
    waveformRequest = setTimeout(async () => {
      const canvas = $("#waveform");
      const columns = Math.max(1, Math.min(16384, Math.round(canvas.clientWidth * (window.devicePixelRatio || 1))));
      try {
        waveform = await call("GET", "/api/waveform?columns=" + columns);
      } catch (error) {
        waveform = null;
      }
      drawWaveform();
    }, 150);
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
  }

  // ------------------------------------------------------------ the cursor

  // The cursors with their tracks' widths (kept by a ResizeObserver, so
  // that a frame reads no layout).
  let cursors = [];
  let clock = null;
  function drawCursor() {
    const time = currentTime(performance.now());
    const fraction = Math.max(0, Math.min(1, time / endMs()));
    for (const cursor of cursors) {
      const x = (fraction * cursor.width).toFixed(1);
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
