"use strict";
// How the page writes figures: the console's precision for the statistics,
// decimal units for bytes (as the console's MB/s), local clock times.
const Format = {
  // null stands for the console's nan or inf.
  fixed(value, digits) {
    return value === null || value === undefined ? "n/a" : Number(value).toFixed(digits);
  },

  count(value) {
    return value === null || value === undefined ? "n/a" : Number(value).toLocaleString("en-US");
  },

  bytes(value) {
    if (value === null || value === undefined) return "n/a";
    const units = ["B", "kB", "MB", "GB", "TB", "PB"];
    let v = Number(value);
    let i = 0;
    while (v >= 1000 && i < units.length - 1) {
      v /= 1000;
      ++i;
    }
    return i === 0 ? `${Math.round(v)} B` : `${v.toFixed(v < 10 ? 2 : 1)} ${units[i]}`;
  },

  // Seconds as h:mm:ss (days in front past 24 h).
  duration(seconds) {
    if (seconds === null || seconds === undefined || !isFinite(seconds)) return "n/a";
    let s = Math.max(0, Math.floor(seconds));
    const days = Math.floor(s / 86400);
    s -= days * 86400;
    const h = Math.floor(s / 3600);
    const m = Math.floor((s % 3600) / 60);
    const text = `${h}:${String(m).padStart(2, "0")}:${String(s % 60).padStart(2, "0")}`;
    return days > 0 ? `${days} d ${text}` : text;
  },

  // An ISO-8601 time as the viewer's local date and time.
  time(iso) {
    if (!iso) return "n/a";
    const date = new Date(iso);
    return isNaN(date) ? iso : date.toLocaleString();
  },

  clock(iso) {
    if (!iso) return "";
    const date = new Date(iso);
    return isNaN(date) ? iso : date.toLocaleTimeString();
  },
};

// A new element with attributes and children (strings become text).
function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  for (const child of children) node.append(child);
  return node;
}
