"use strict";
// The spectrum chart: the channels of one board the viewer picks, fetched
// about once a second, linear or log counts, zoom by dragging (double click
// or the button to reset), the bin and counts under the cursor and the
// counts in the zoomed bins.
const SpectrumView = (() => {
  const kRefreshMs = 1000;
  const kGroupSize = 8;
  const kColors = ["#2459b3", "#d1495b", "#2a9d3f", "#e08e0b", "#7b3fb3", "#0a9396", "#b5651d", "#c2185b"];
  const byId = (id) => document.getElementById(id);

  let graph = null;
  let board = null;
  let channels = [];
  let picked = false;        // the viewer chose: statuses no longer move the choice
  let boardsShape = "";
  let shown = [];            // the spectra drawn: [{channel, counts}]
  let drawnKey = "";
  let timer = null;
  let generation = 0;

  const logScale = () => byId("log-scale").checked;

  function fillChannels(count) {
    const select = byId("channel-select");
    select.replaceChildren();
    for (let c = 0; c < count; ++c) {
      const option = element("option", { value: c }, `Ch ${c}`);
      option.selected = channels.includes(c);
      select.append(option);
    }
  }

  // From each status: the boards and their channel counts; the first
  // choice is the plotted board's first channel of the plotted group.
  function setBoards(status) {
    const boards = status.boards;
    const shape = boards.map((b) => `${b.board}:${b.channels}`).join(",");
    if (shape === boardsShape) return;
    boardsShape = shape;
    const select = byId("board-select");
    select.replaceChildren(...boards.map((b) => element("option", { value: b.board }, `Board ${b.board}`)));
    const plot = status.plot || { board: 0, group: 0 };
    if (!picked || !boards.some((b) => b.board === board)) {
      const plotted = boards.find((b) => b.board === plot.board) || boards[0];
      if (!plotted) return;
      board = plotted.board;
      const first = plot.group * kGroupSize;
      channels = [first < plotted.channels ? first : 0];
    }
    select.value = String(board);
    fillChannels(boards.find((b) => b.board === board).channels);
    refresh();
  }

  function readout(x) {
    const bin = Math.round(x);
    const parts = shown.map((s) => `ch ${s.channel}: ${Format.count(s.counts[bin])}`);
    byId("cursor-readout").textContent = `Bin ${bin} — ${parts.join(", ")}`;
  }

  function showSum(g) {
    const [low, high] = g.xAxisRange();
    const from = Math.max(0, Math.ceil(low));
    const to = Math.min(shown[0].counts.length - 1, Math.floor(high));
    const parts = shown.map((s) => {
      let sum = 0;
      for (let i = from; i <= to; ++i) sum += s.counts[i];
      return `ch ${s.channel}: ${Format.count(sum)}`;
    });
    byId("zoom-sum").textContent = `Counts in bins ${from}–${to}: ${parts.join(", ")}`;
  }

  // The bins drawn: up to the last with counts, rounded up to a power of
  // two, so that a board using fewer bins than the spectra hold fills the
  // chart and the range stays put as counts come.
  function binsUsed() {
    let last = 0;
    for (const s of shown) {
      for (let i = s.counts.length - 1; i > last; --i) {
        if (s.counts[i] > 0) {
          last = i;
          break;
        }
      }
    }
    let bins = 256;
    while (bins <= last) bins *= 2;
    return Math.min(bins, shown.length ? shown[0].counts.length : 0);
  }

  // Rows of [bin, counts...]; zero counts are gaps on the log scale.
  function rows() {
    const log = logScale();
    const bins = binsUsed();
    const data = new Array(bins);
    for (let i = 0; i < bins; ++i) {
      const row = [i];
      for (const s of shown) row.push(log && s.counts[i] <= 0 ? null : s.counts[i]);
      data[i] = row;
    }
    return data;
  }

  function draw() {
    const labels = ["Bin", ...shown.map((s) => `Board ${board} ch ${s.channel}`)];
    if (!shown.length) {
      if (graph) graph.destroy();
      graph = null;
      byId("zoom-sum").textContent = "";
      byId("cursor-readout").textContent = "Pick a channel.";
      return;
    }
    const options = { file: rows(), labels, logscale: logScale() };
    if (graph) {
      graph.updateOptions(options);
      return;
    }
    graph = new Dygraph(byId("spectrum"), options.file, {
      labels,
      logscale: options.logscale,
      xlabel: "Bin",
      ylabel: "Counts",
      colors: kColors,
      stepPlot: true,
      animatedZooms: false,
      legend: "always",
      labelsDiv: byId("spectrum-legend"),
      includeZero: true,
      highlightCallback: (event, x) => readout(x),
      unhighlightCallback: () => { byId("cursor-readout").textContent = "Point at the spectrum for a bin's counts."; },
      drawCallback: (g) => showSum(g),
    });
  }

  async function refresh() {
    clearTimeout(timer);
    const mine = ++generation;
    if (board === null || document.hidden) return;
    const wanted = [...channels];
    try {
      const spectra = await Promise.all(wanted.map((c) => Api.getJson(`/api/spectrum?board=${board}&channel=${c}`)));
      if (mine !== generation) return;
      const key = `${board}|${spectra.map((s) => `${s.channel}@${s.taken}`).join(",")}|${logScale()}`;
      if (key !== drawnKey) {
        shown = spectra.map((s) => ({ channel: s.channel, counts: s.counts }));
        draw();
        drawnKey = key;
      }
      byId("spectrum-taken").textContent = spectra.length && spectra[0].taken
        ? `Copied at ${Format.clock(spectra[0].taken)}` : "";
    } catch (error) {
      if (mine === generation) byId("spectrum-taken").textContent = `Spectrum: ${error.message}`;
    } finally {
      if (mine === generation) timer = setTimeout(refresh, kRefreshMs);
    }
  }

  function init() {
    byId("board-select").addEventListener("change", (event) => {
      picked = true;
      board = Number(event.target.value);
      const boards = boardsShape.split(",").map((s) => s.split(":").map(Number));
      const count = (boards.find(([b]) => b === board) || [0, 0])[1];
      channels = channels.filter((c) => c < count);
      if (!channels.length && count) channels = [0];
      fillChannels(count);
      refresh();
    });
    byId("channel-select").addEventListener("change", (event) => {
      picked = true;
      channels = [...event.target.selectedOptions].map((o) => Number(o.value));
      refresh();
    });
    byId("log-scale").addEventListener("change", () => {
      drawnKey = "";
      if (shown.length) draw();
    });
    byId("reset-zoom").addEventListener("click", () => { if (graph) graph.resetZoom(); });
    document.addEventListener("visibilitychange", () => { if (!document.hidden) refresh(); });
  }

  return { init, setBoards };
})();
