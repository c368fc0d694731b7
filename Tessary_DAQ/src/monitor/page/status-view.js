"use strict";
// Shows a status: the run, each board's statistics and totals, the files,
// the disk and the messages.
const StatusView = (() => {
  const kGroupSize = 8;
  const byId = (id) => document.getElementById(id);
  const setText = (id, text) => {
    const node = byId(id);
    if (node.textContent !== text) node.textContent = text;
  };

  // The statistics block's figures, in the console's order and precision.
  const kRates = [
    ["real-time", "Real time", "real_time_s", 2, "s"],
    ["live-time", "Live time", "live_time_s", 2, "s"],
    ["dead-time", "Dead time", "dead_time_percent", 2, "%"],
    ["throughput", "Throughput", "throughput_mb_s", 3, "MB/s"],
    ["detected-khz", "Detected trigger rate", "detected_khz", 3, "kHz"],
    ["processed-khz", "Processed trigger rate", "processed_khz", 3, "kHz"],
    ["pile-up-khz", "Pile-up rate", "pile_up_khz", 3, "kHz"],
  ];
  const kTotals = [
    ["events", "Events", (b) => Format.count(b.events)],
    ["triggers", "Triggers", (b) => Format.count(b.triggers)],
    ["triggers-lost", "Triggers lost", (b) => Format.count(b.triggers_lost)],
    ["pile-up-events", "Pile-up events", (b) => Format.count(b.pile_up_events)],
    ["saturated", "Saturated amplitudes", (b) => Format.count(b.saturated)],
    ["run-live", "Live time", (b) => `${Format.fixed(b.live_time_s, 2)} s`],
    ["run-dead", "Dead time", (b) => `${Format.fixed(b.dead_time_s, 2)} s`],
    ["read", "Read", (b) => Format.bytes(b.bytes)],
    ["written", "Written", (b) => {
      const w = b.written_bytes || {};
      return `raw ${Format.bytes(w.raw)}, list ${Format.bytes(w.list)}, histograms ${Format.bytes(w.histogram)}`;
    }],
  ];
  const kChannelRows = [
    ["Saturated (SAT)", "saturated_percent", 2, "%"],
    ["Suppressed", "suppressed_percent", 2, "%"],
    ["OCR", "ocr_kcps", 3, "kcps"],
    ["OCR (incl. SAT)", "ocr_with_saturated_kcps", 3, "kcps"],
  ];

  // The group each board's table shows: the plotted one until the viewer picks.
  const pickedGroup = new Map();
  let boardsShown = "";
  let lastStatus = null;
  let lastMessage = -1;
  // The acquisition time goes on between two statuses while acquiring.
  let acquisition = { seconds: 0, receivedMs: 0, running: false };

  function boardCard(board) {
    const b = board.board;
    const rates = element("tbody");
    for (const [id, label, , , unit] of kRates) {
      rates.append(element("tr", {}, element("th", {}, label),
        element("td", { id: `${id}-${b}`, class: "num" }), element("td", {}, unit)));
    }
    const totals = element("tbody");
    for (const [id, label] of kTotals) {
      totals.append(element("tr", {}, element("th", {}, label), element("td", { id: `${id}-${b}`, class: "num" })));
    }
    const groups = element("select", { id: `group-select-${b}` });
    for (let g = 0; g * kGroupSize < board.channels; ++g) {
      groups.append(element("option", { value: g }, `${g * kGroupSize}–${g * kGroupSize + kGroupSize - 1}`));
    }
    groups.addEventListener("change", () => {
      pickedGroup.set(b, Number(groups.value));
      if (lastStatus) showChannels(lastStatus.boards.find((x) => x.board === b));
    });
    return element("section", { id: `board-${b}`, class: "card" },
      element("h2", {}, `Board ${b}: ${board.model} (${board.channels} channels)`),
      element("div", { id: `printed-${b}`, class: "muted" }),
      element("table", { id: `rates-${b}` }, rates),
      element("h3", {}, "Channels ", groups),
      element("div", { class: "scroll" }, element("table", { id: `channels-${b}` })),
      element("h3", {}, "Run totals"),
      element("table", { id: `totals-${b}` }, totals));
  }

  function groupOf(board, status) {
    if (pickedGroup.has(board.board)) return pickedGroup.get(board.board);
    const plotted = status.plot && status.plot.board === board.board ? status.plot.group : 0;
    return plotted * kGroupSize < board.channels ? plotted : 0;
  }

  function showChannels(board) {
    const group = groupOf(board, lastStatus);
    byId(`group-select-${board.board}`).value = String(group);
    const stats = board.statistics && !board.statistics.no_data ? board.statistics : null;
    const first = group * kGroupSize;
    const head = element("tr", {}, element("th", {}, "Channel"));
    for (let c = first; c < first + kGroupSize; ++c) head.append(element("th", { class: "num" }, String(c)));
    head.append(element("th"));
    const rows = [head];
    for (const [label, key, digits, unit] of kChannelRows) {
      const row = element("tr", {}, element("th", {}, label));
      for (let c = first; c < first + kGroupSize; ++c) {
        const channel = stats && stats.channels.find((x) => x.channel === c);
        const text = !stats ? "—" : channel && channel.enabled ? Format.fixed(channel[key], digits) : "N/A";
        row.append(element("td", { class: "num" }, text));
      }
      row.append(element("td", {}, unit));
      rows.push(row);
    }
    byId(`channels-${board.board}`).replaceChildren(...rows);
  }

  function showBoard(board) {
    const b = board.board;
    const stats = board.statistics;
    const figures = stats && !stats.no_data ? stats : null;
    setText(`printed-${b}`, !stats ? "No statistics yet" : stats.no_data
      ? `No data (${Format.clock(stats.printed)})` : `Statistics of ${Format.clock(stats.printed)}`);
    for (const [id, , key, digits] of kRates) setText(`${id}-${b}`, figures ? Format.fixed(figures[key], digits) : "—");
    for (const [id, , text] of kTotals) setText(`${id}-${b}`, text(board));
    showChannels(board);
  }

  function showBoards(status) {
    const shape = status.boards.map((b) => `${b.board}:${b.model}:${b.channels}`).join(",");
    if (shape !== boardsShown) {
      byId("boards").replaceChildren(...status.boards.map(boardCard));
      boardsShown = shape;
    }
    for (const board of status.boards) showBoard(board);
  }

  function showRun(status) {
    const state = byId("state");
    state.textContent = status.state;
    state.className = `state ${status.state}`;
    setText("ended-by", status.state === "ended" && status.ended_by ? `by ${status.ended_by}` : "");
    setText("config", status.config);
    setText("version", status.version);
    setText("started", Format.time(status.started));
    setText("published", Format.time(status.published));
    setText("sequence", String(status.sequence));
    acquisition = { seconds: status.acquisition_s, receivedMs: Date.now(), running: status.state === "acquiring" };
    tick();
    byId("preset").hidden = !status.preset;
    if (status.preset) {
      setText("preset-text", `Preset: ${status.preset.text}`);
      byId("preset-progress").value = status.preset.progress || 0;
      setText("preset-percent", `${Format.fixed((status.preset.progress || 0) * 100, 1)} %`);
    }
  }

  function tick() {
    const { seconds, receivedMs, running } = acquisition;
    setText("acquisition-time", Format.duration(running ? seconds + (Date.now() - receivedMs) / 1000 : seconds));
  }

  function showFiles(status) {
    byId("files").replaceChildren(...status.files.map((f) =>
      element("tr", {}, element("td", { class: "path" }, f.path), element("td", { class: "num" }, Format.bytes(f.bytes)))));
    if (!status.files.length) byId("files").append(element("tr", {}, element("td", { colspan: 2, class: "muted" }, "None")));
    const disk = status.disk;
    let text = "Free space: unknown";
    if (disk) {
      const full = disk.seconds_to_full === null ? "not filling" : `full in ${Format.duration(disk.seconds_to_full)}`;
      text = `Free space: ${Format.bytes(disk.free_bytes)}, writing ${Format.bytes(disk.write_bytes_per_s)}/s, ${full}`;
    }
    setText("disk", text);
    const warn = byId("disk-warning");
    warn.hidden = !(disk && disk.low_space_warning);
    if (!warn.hidden) {
      warn.textContent = `Low disk space: ${Format.bytes(disk.free_bytes)} left, the output file system is full in ` +
        `${Format.duration(disk.seconds_to_full)}`;
    }
  }

  function showMessages(status) {
    const messages = status.messages || [];
    const newest = messages.length ? messages[messages.length - 1].number : -1;
    if (newest === lastMessage) return;
    lastMessage = newest;
    const list = byId("messages");
    const atEnd = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
    list.replaceChildren(...messages.map((m) =>
      element("li", { value: m.number }, element("time", { datetime: m.time }, Format.clock(m.time)), m.text)));
    if (atEnd) list.scrollTop = list.scrollHeight;
  }

  function show(status) {
    lastStatus = status;
    showRun(status);
    showBoards(status);
    showFiles(status);
    showMessages(status);
  }

  return { show, tick };
})();
