// What brisk's pages draw and format alike, inlined into every page ahead of
// the page's own script, which takes what it needs from briskPage. Text from a
// document goes in as textContent or an attribute value, never as markup.
const briskPage = (function() {
'use strict';

// An element with its attributes (a null, undefined or false one left out)
// and its children (nodes, or text).
function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attrs || {})) {
    if (value !== undefined && value !== null && value !== false) node.setAttribute(name, value);
  }
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : String(child));
  }
  return node;
}

// The document the page embeds, or null, with a notice on the page, when it
// cannot be read or valid(document) says it is not a brisk `what` document.
function embeddedDocument(root, what, valid) {
  try {
    const data = JSON.parse(document.getElementById('brisk-data').textContent);
    if (!data || typeof data !== 'object' || !valid(data)) {
      throw new Error('it is not a brisk ' + what + ' document');
    }
    return data;
  } catch (error) {
    root.append(
        el('p', {class: 'notice bad'},
           'The ' + what + ' embedded in this page cannot be read: ' + error.message));
    return null;
  }
}

// A section of the page under its heading.
function section(id, title) {
  return el('section', {id: id}, el('h2', null, title));
}

// The page's header: its title with badges after it, then the rest.
function pageHeader(title, badges, ...rest) {
  const heading = el('h1', null, title);
  badges.forEach((b, i) => heading.append(i ? ' ' : '', b));
  return el('header', null, heading, ...rest);
}

function badge(text, kind, title) {
  return el('span', {class: 'badge ' + kind, title: title}, text);
}

function plural(count, one, many) {
  return count + ' ' + (count === 1 ? one : many);
}

function isNumber(value) {
  return typeof value === 'number' && isFinite(value);
}

// fmt's "{:.2f}", as the console prints: the exact binary value rounded, an
// exact tie to even; "---" for a missing value. toFixed rounds a tie up
// (830.125 gives "830.13" where the console says "830.12"); ties are the
// values whose fraction is an odd multiple of 1/8, the only ones exact at the
// third decimal.
function fixed2(value) {
  if (!isNumber(value)) return '---';
  if (Number.isInteger(value * 8) && !Number.isInteger(value * 4) && Math.abs(value) < 1e12) {
    const low = Math.floor(value * 100);
    return ((low % 2 === 0 ? low : low + 1) / 100).toFixed(2);
  }
  return value.toFixed(2);
}

function binaryBytes(bytes) {
  const units = ['bytes', 'KiB', 'MiB', 'GiB', 'TiB', 'PiB'];
  let unit = 0;
  let value = bytes;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit += 1;
  }
  return unit === 0 ? bytes + ' bytes' : fixed2(value) + ' ' + units[unit];
}

// "2026-12-09T15:05:04Z" as written, in UTC: no conversion that could shift it.
function utc(time) {
  return time ? String(time).replace('T', ' ').replace('Z', ' UTC') : '';
}

// The given ticks inside [min, max], dropping a label that would touch the
// one before it; on a log axis when useLog.
function spacedTicks(ticks, min, max, pixels, useLog) {
  const position = useLog ? (v) => (Math.log(v) - Math.log(min)) / (Math.log(max) - Math.log(min)) :
                            (v) => (v - min) / (max - min);
  const kept = [];
  let lastEnd = -Infinity;
  for (const tick of ticks) {
    if (tick.v < min || tick.v > max) continue;
    const centre = position(tick.v) * pixels;
    const half = 4 + 3.5 * tick.label.length;
    if (centre - half < lastEnd) continue;
    kept.push(tick);
    lastEnd = centre + half;
  }
  return kept;
}

// Whole seconds only, spaced so their labels never touch.
function secondTicks(min, max, pixels) {
  const first = Math.max(0, Math.ceil(min));
  const last = Math.floor(max);
  const room = Math.max(1, Math.floor(pixels / 36));
  let step = 1;
  for (const s of [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000]) {
    step = s;
    if ((last - first + 1) / s <= room) break;
  }
  const ticks = [];
  for (let v = Math.ceil(first / step) * step; v <= last; v += step) {
    ticks.push({v: v, label: String(v)});
  }
  return ticks;
}

// One line per series over the seconds of a run, the second from k to k + 1
// drawn in its middle, so a drop named "from k s" lies between those ticks.
// options adds to or overrides the shared ones (axes one axis at a time);
// seconds, the x axis' length, is the longest series' unless given.
function secondsChart(box, names, series, options, seconds) {
  seconds = seconds || Math.max(...series.map((s) => s.length));
  const rows = [];
  for (let k = 0; k < seconds; k += 1) {
    rows.push([k + 0.5, ...series.map((s) => (k < s.length && isNumber(s[k]) ? s[k] : null))]);
  }
  const axes = (options && options.axes) || {};
  // dygraphs leaves out a tick at the very end of the axis: a hair more room
  // keeps the run's last second labelled (a 1-second run has no other).
  const end = seconds * (1 + 1e-6);
  // A single second has no line to draw: larger dots keep it readable.
  const pointSize = seconds === 1 ? 4 : 2;
  return new Dygraph(box, rows, Object.assign({
    labels: ['second', ...names],
    xlabel: 'time in the run (s)',
    ylabel: 'MGups',
    dateWindow: [0, end],
    drawPoints: seconds <= 60,
    pointSize: pointSize,
    highlightCircleSize: pointSize + 1,
  }, options, {
    axes: {
      x: Object.assign({drawGrid: false, ticker: secondTicks}, axes.x),
      y: Object.assign({}, axes.y),
    },
  }));
}

// A chart redrawn to the paper's width when printed.
function redrawWhenPrinted(chart) {
  const redraw = () => chart.resize();
  window.addEventListener('beforeprint', redraw);
  window.addEventListener('afterprint', redraw);
  return chart;
}

// The page says it has drawn itself (the browser checks wait for this).
function ready() {
  document.documentElement.setAttribute('data-brisk-ready', 'true');
}

return {
  badge,
  binaryBytes,
  el,
  embeddedDocument,
  fixed2,
  isNumber,
  pageHeader,
  plural,
  ready,
  redrawWhenPrinted,
  secondTicks,
  secondsChart,
  section,
  spacedTicks,
  utc,
};
})();
