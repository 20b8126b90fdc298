// Draws the brisk comparison page from the comparison document embedded in
// it (<script id="brisk-data">), so the page can never disagree with the JSON.
// Every text taken from the document (file names, brand strings, labels) is
// inserted with textContent or as an attribute value, never parsed as markup;
// dygraphs only ever sees series names made here ("a0", "r0").
(function() {
'use strict';

const root = document.getElementById('report');
window.briskCharts = {
  score: null,
  timelines: []
};

const {
  badge, binaryBytes, el, embeddedDocument, fixed2, isNumber, pageHeader, plural, ready,
  secondsChart, section, spacedTicks, utc
} = briskPage;

// --- helpers of the comparison ----------------------------------------------

const SVG = 'http://www.w3.org/2000/svg';
function svg(tag, attrs, text) {
  const node = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attrs || {})) node.setAttribute(name, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

function signedPercent(value) {
  return isNumber(value) ? (value > 0 ? '+' : '') + value.toFixed(2) + '%' : '---';
}

function pText(p) {
  return !isNumber(p) ? '---' : p < 0.001 ? '<0.001' : p.toFixed(3);
}

// Colour-blind-safe palette (Okabe-Ito, darkened for white paper).
const COLOURS =
    ['#1f5fa8', '#c7671a', '#2a8a5c', '#b03c8c', '#7a6a00', '#3aa0c8', '#c62828', '#555f69'];
function colour(file) {
  return COLOURS[file % COLOURS.length];
}

// --- the document ----------------------------------------------------------

const data = embeddedDocument(
    root, 'comparison',
    (d) => d.schema && d.schema.name === 'brisk-comparison' && Array.isArray(d.files) &&
        d.files.length >= 1 && Array.isArray(d.rows) && Array.isArray(d.differences) &&
        Array.isArray(d.unmatched));
if (!data) return;

const files = data.files;
const base = files[0];
const variable = base.sweep.variable;
const allLabels = files.flatMap((f) => f.points.map((p) => p.label));
const numericVariable = ['threads', 'size', 'duration'].includes(variable) &&
    allLabels.length > 0 && allLabels.every((l) => /^[0-9]+$/.test(l));
const axisNames = {
  threads: 'threads',
  size: 'grid edge',
  duration: 'seconds',
  isa: 'instruction set',
  none: 'run'
};
const differing = new Set(data.differences.map((d) => d.field));

function pointName(label, occurrence) {
  return occurrence > 0 ? label + ' #' + (occurrence + 1) : label;
}

// A row's or unmatched point's name, with its variable when it is not the base's.
function rowPoint(r) {
  return (r.variable && r.variable !== variable ? r.variable + ' ' : '') +
      pointName(r.label, r.occurrence);
}

function fileTag(index) {
  return index === 0 ? 'base' : 'file ' + index;
}

// One swatch and name per file, shared by the charts' legends.
function fileKey(index) {
  const f = files[index];
  return el(
      'span', {class: 'file-key'},
      el('span', {class: 'swatch', style: 'background:' + colour(index)}),
      el('span', {class: 'file-name'}, f.name), ' ',
      el('span', {class: 'sub'}, '(' + fileTag(index) + ')'),
      f.incomplete ? badge('incomplete', 'warn', 'the sweep of this file did not finish') : null);
}

// --- header and notes ------------------------------------------------------

function header() {
  const badges = [
    data.same_machine ? badge('same machine', 'good') : badge('different machines', 'warn'),
    data.same_build ? badge('same build', 'good') : badge('different builds', 'warn')
  ];
  const list = el('ol', {class: 'file-list', start: '0'});
  files.forEach((f, index) => {
    list.append(
        el('li', null, fileKey(index),
           el('span', {class: 'sub'},
              ' ' + f.sweep.variable + ' sweep, ' + utc(f.start_time) + ', brisk ' +
                  f.brisk.version)));
  });
  const method =
      el('p', {class: 'note'},
         'Change of each point\'s average against the base, Welch\'s t-test with a 95% ' +
             'interval; "faster" and "slower" need p < ' + data.significance_level +
             ' and a change beyond \u00b1' + data.threshold_percent + '%.');
  return pageHeader('brisk comparison ', badges, list, method, notes());
}

function notes() {
  const items = [];
  const incomplete = files.filter((f) => f.incomplete);
  if (incomplete.length) {
    items.push([
      'warn',
      plural(incomplete.length, 'file', 'files') +
          ' did not finish: ' + incomplete.map((f) => f.name).join(', ')
    ]);
  }
  const unlike = data.rows.filter((r) => !r.like_for_like).length;
  if (unlike) {
    items.push([
      'warn',
      plural(unlike, 'row compares', 'rows compare') +
          ' runs with different settings (not like for like, marked \u2260)'
    ]);
  }
  const noisy = data.rows.filter((r) => r.base.noisy || r.other.noisy).length;
  if (noisy) {
    // What was measured during the noisy sides' runs, each cause once.
    const causes = [];
    for (const r of data.rows) {
      for (const side of [r.base, r.other]) {
        const cause = side.noisy ? noiseCause(side) : null;
        if (cause && !causes.includes(cause)) causes.push(cause);
      }
    }
    items.push([
      'warn',
      plural(noisy, 'row has', 'rows have') + ' a noisy side (spread over ' +
          data.noisy_spread_percent + '%): ' + causes.join('; ')
    ]);
  }
  if (data.unmatched.length) {
    items.push([
      '', plural(data.unmatched.length, 'point is', 'points are') + ' not in every file (see below)'
    ]);
  }
  if (data.rows.some((r) => r.needs_more_runs)) {
    items.push([
      '',
      'Some verdicts are unclear for lack of runs: 5 or more sub-runs per point ' +
          'give a verdict on this machine.'
    ]);
  }
  if (!items.length) return null;
  const ul = el('ul', {class: 'notes', id: 'notes'});
  for (const [kind, text] of items) ul.append(el('li', {class: kind}, text));
  return ul;
}

// --- machines side by side --------------------------------------------------

// The version has a row of its own.
function osText(os) {
  return (os.name || os.family) +
      (os.build !== null && os.build !== undefined ? ' (build ' + os.build + ')' : '');
}

function yesNo(value) {
  return value ? 'yes' : 'no';
}

// [label, field name as the differences call it, value of one file].
const MACHINE_ROWS = [
  ['Processor', 'cpu.brand', (f) => String(f.machine.cpu.brand).trim()],
  ['Vendor', 'cpu.vendor', (f) => f.machine.cpu.vendor],
  ['Family', 'cpu.family', (f) => f.machine.cpu.family],
  ['Model', 'cpu.model', (f) => f.machine.cpu.model],
  ['Stepping', 'cpu.stepping', (f) => f.machine.cpu.stepping],
  ['Features', 'cpu.features', (f) => f.machine.cpu.features.join(' ')],
  ['Hypervisor', 'cpu.hypervisor', (f) => yesNo(f.machine.cpu.hypervisor)],
  ['Packages', 'topology.packages', (f) => f.machine.topology.packages],
  ['NUMA nodes', 'topology.numa_nodes', (f) => f.machine.topology.numa_nodes],
  ['Cores', 'topology.cores', (f) => f.machine.topology.cores],
  [
    'Logical processors', 'topology.logical_processors',
    (f) => f.machine.topology.logical_processors
  ],
  ['Memory', 'memory.total_bytes', (f) => binaryBytes(f.machine.memory.total_bytes)],
  ['Operating system', 'os.name', (f) => osText(f.machine.os)],
  ['OS version', 'os.version', (f) => f.machine.os.version],
  ['Kernel', 'os.kernel', (f) => f.machine.os.kernel || '\u2014'],
  ['Wine', 'os.wine', (f) => f.machine.os.wine || '\u2014'],
  ['brisk', 'brisk.version', (f) => f.brisk.version],
  ['Compiler', 'brisk.compiler', (f) => f.brisk.compiler],
  ['Target', 'brisk.target', (f) => f.brisk.target],
  [
    'Threads', 'settings.numthreads',
    (f) => f.settings.numthreads === 0 ? 'automatic' : f.settings.numthreads
  ],
  ['Duration', 'settings.duration', (f) => f.settings.duration + ' s'],
  ['Grid edge', 'settings.size', (f) => f.settings.size],
  ['Threading', 'settings.threading', (f) => f.settings.threading],
  ['Workload', 'settings.workload', (f) => f.settings.workload],
  ['ISA', 'settings.isa', (f) => f.settings.isa],
  ['Strict ISA check', 'settings.strict_isa_check', (f) => yesNo(f.settings.strict_isa_check)],
  ['Large pages', 'settings.large_pages', (f) => yesNo(f.settings.large_pages)],
  [
    'Sweep', 'sweep',
    (f) => f.sweep.variable + (f.sweep.option ? ' ' + f.sweep.option : '') + ', ' +
        plural(f.sweep.sub_runs, 'sub-run', 'sub-runs')
  ],
  ['Started', 'start_time', (f) => utc(f.start_time)],
];
// Fields that always differ between two runs: never highlighted.
const UNSTABLE = new Set(['start_time']);

function machineRow(label, field, values, highlight) {
  const tr =
      el('tr', {class: highlight ? 'differs' : null, 'data-field': field},
         el('th', {scope: 'row'}, label));
  for (const value of values) tr.append(el('td', null, String(value)));
  return tr;
}

function machineSection() {
  const head = el('tr', null, el('th', {scope: 'col'}, ''));
  files.forEach(
      (f, index) => head.append(el(
          'th', {scope: 'col'}, el('span', {class: 'swatch', style: 'background:' + colour(index)}),
          f.name, ' ', el('span', {class: 'sub'}, '(' + fileTag(index) + ')'))));
  const body = el('tbody');
  const shown = new Set();
  for (const [label, field, value] of MACHINE_ROWS) {
    const values = files.map(value);
    const unequal = values.some((v) => String(v) !== String(values[0]));
    body.append(machineRow(
        label, field, values, differing.has(field) || (unequal && !UNSTABLE.has(field))));
    shown.add(field);
  }
  // A difference the rows above do not name still shows, by its field name.
  for (const d of data.differences) {
    if (!shown.has(d.field)) body.append(machineRow(d.field, d.field, d.values, true));
  }
  return el(
      'section', {id: 'machines'}, el('h2', null, 'Machines and builds'),
      el('p', {class: 'note'},
         data.differences.length ?
             'Highlighted: ' + plural(data.differences.length, 'fact differs', 'facts differ') +
                 ' between the files.' :
             'Every stable fact of the machine, the build and the settings is the same.'),
      el('div', {class: 'table-wrap'},
         el('table', {id: 'machines-table'}, el('thead', null, head), body)));
}

// --- the comparison table --------------------------------------------------

const VERDICT_CLASS = {
  'faster': 'good',
  'slower': 'bad',
  'no change': 'same',
  'unclear': 'warn',
  'no valid run': 'bad'
};

// A noisy side's measured cause; comparisons written before causes were
// measured carry none.
function noiseCause(side) {
  return typeof side.noise_cause === 'string' ? side.noise_cause :
                                                'the machine was busy or throttling';
}

function sideCell(side) {
  const title = side.n + ' valid of ' + plural(side.runs, 'run', 'runs') +
      (isNumber(side.spread_percent) ? ', spread ' + side.spread_percent.toFixed(2) + '%' : '') +
      (side.noisy ? ': ' + noiseCause(side) : '');
  return el(
      'td', {class: side.noisy ? 'noisy' : null, title: title}, fixed2(side.average),
      side.noisy ? el('span', {class: 'mark', title: 'noisy: ' + title}, '~') : null);
}

function verdictCell(row) {
  const td = el('td', {class: 'verdict ' + (VERDICT_CLASS[row.verdict] || '')}, row.verdict);
  if (row.needs_more_runs) {
    td.append(el('span', {class: 'mark', title: 'more runs would settle it'}, '+'));
  }
  if (!row.like_for_like) {
    td.append(
        el('span',
           {class: 'mark unlike', title: 'not like for like: ' + row.differing_settings.join(', ')},
           '\u2260'));
  }
  return td;
}

// Each column: header, sort key of a row (null sorts last), cell.
const COLUMNS = [
  [
    'file', (r) => r.file,
    (r) =>
        el('th', {scope: 'row'},
           el('span', {class: 'swatch', style: 'background:' + colour(r.file)}), r.name)
  ],
  ['point', (r) => r.order, (r) => el('td', {class: 'label'}, rowPoint(r))],
  ['base', (r) => r.base.average, (r) => sideCell(r.base)],
  ['file avg', (r) => r.other.average, (r) => sideCell(r.other)],
  [
    'change', (r) => r.delta_percent,
    (r) => el('td', {class: 'delta'}, signedPercent(r.delta_percent))
  ],
  [
    '95% interval', (r) => r.ci_low_percent,
    (r) =>
        el('td', null,
           isNumber(r.ci_low_percent) && isNumber(r.ci_high_percent) ?
               signedPercent(r.ci_low_percent) + ' to ' + signedPercent(r.ci_high_percent) :
               '---')
  ],
  ['p', (r) => r.p_value, (r) => el('td', null, pText(r.p_value))],
  ['verdict', (r) => r.verdict, verdictCell],
];

function comparisonSection() {
  // The order within a file is the base's sweep order, as the rows come.
  const rows = data.rows.map((r, index) => Object.assign({order: index}, r));
  const trs = rows.map((r) => {
    const tr = el('tr', {class: r.like_for_like ? null : 'unlike'});
    for (const [, , cell] of COLUMNS) tr.append(cell(r));
    return tr;
  });
  const body = el('tbody', null, ...trs);
  const head = el('tr');
  let sorted = {column: -1, ascending: true};
  COLUMNS.forEach(([name, key], column) => {
    const th =
        el('th', {
          scope: 'col',
          class: 'sortable',
          tabindex: '0',
          'aria-sort': 'none',
          title: 'sort by ' + name
        },
           name);
    const sort = () => {
      const ascending = sorted.column === column ? !sorted.ascending : true;
      sorted = {column: column, ascending: ascending};
      const order = rows.map((r, i) => [key(r), i]);
      order.sort((a, b) => {
        const [x, y] = [a[0], b[0]];
        if (x === null || x === undefined) return y === null || y === undefined ? a[1] - b[1] : 1;
        if (y === null || y === undefined) return -1;
        const c = typeof x === 'number' ? x - y : String(x).localeCompare(String(y));
        return (ascending ? c : -c) || a[1] - b[1];
      });
      const fragment = document.createDocumentFragment();
      for (const [, i] of order) fragment.append(trs[i]);
      body.append(fragment);
      for (const cell of head.cells) cell.setAttribute('aria-sort', 'none');
      th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
    };
    th.addEventListener('click', sort);
    th.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        sort();
      }
    });
    head.append(th);
  });
  const section =
      el('section', {id: 'comparison'}, el('h2', null, 'Comparison'),
         el('p', {class: 'note'},
            'Averages in MGups. ~ a noisy side, \u2260 not like ' +
                'for like, + more runs would settle the verdict. Click a column to sort.'),
         el('div', {class: 'table-wrap'},
            el('table', {id: 'comparison-table'}, el('thead', null, head), body)));
  if (!rows.length)
    section.append(el('p', {class: 'notice'}, 'No point of the base is in another file.'));
  const unmatched = unmatchedList();
  if (unmatched) section.append(unmatched);
  return section;
}

function unmatchedList() {
  if (!data.unmatched.length) return null;
  const names = (list) => list.filter((i) => i < files.length).map((i) => files[i].name).join(', ');
  const ul = el('ul', {id: 'unmatched', class: 'unmatched'});
  for (const u of data.unmatched) {
    ul.append(
        el('li', null,
           el('strong', null, (u.variable || variable) + ' ' + pointName(u.label, u.occurrence)),
           ': in ' + names(u.present_in) + '; missing in ' + names(u.missing_in)));
  }
  return el(
      'div', null,
      el('h3', null, plural(data.unmatched.length, 'point', 'points') + ' not in every file'), ul);
}

// --- the score chart -------------------------------------------------------

// Categorical points: every file's labels in order of first appearance.
function categories() {
  const keys = [];
  for (const f of files) {
    for (const p of f.points) {
      const key = p.label + '#' + p.occurrence;
      if (!keys.includes(key)) keys.push(key);
    }
  }
  return keys;
}

function fileOffset(file) {
  if (files.length === 1) return 0;
  const spread = Math.min(0.6, 0.15 * (files.length - 1));
  return -spread / 2 + file * spread / (files.length - 1);
}

// The base's series come last, so dygraphs draws its line on top.
function scoreColumn(file) {
  return 1 + 2 * (files.length - 1 - file);
}

function scoreRows(keys) {
  const width = 1 + 2 * files.length;
  const rows = [];
  files.forEach((f, file) => {
    for (const p of f.points) {
      const x = numericVariable ? Number(p.label) :
                                  keys.indexOf(p.label + '#' + p.occurrence) + fileOffset(file);
      if (isNumber(p.average)) {
        const row = new Array(width).fill(null);
        row[0] = x;
        row[scoreColumn(file)] = p.average;
        rows.push(row);
      }
      for (const score of p.scores) {
        const row = new Array(width).fill(null);
        row[0] = x;
        row[scoreColumn(file) + 1] = score;
        rows.push(row);
      }
    }
  });
  return rows.sort((a, b) => a[0] - b[0]);
}

function scoreChart(box, keys) {
  const rows = scoreRows(keys);
  const labels = ['x'];
  const series = {};
  const colours = [];
  [...files.keys()].reverse().forEach((file) => {
    const f = files[file];
    labels.push('a' + file, 'r' + file);
    colours.push(colour(file), colour(file));
    series['a' + file] = {
      strokeWidth: numericVariable ? 2 : 0,
      pointSize: numericVariable ? 2.5 : 5,
      strokePattern: f.incomplete ? [6, 3] : null
    };
    series['r' + file] = {strokeWidth: 0, pointSize: 3};
  });
  const xs = allLabels.map(Number);
  const useLog = numericVariable && variable === 'size' && Math.min(...xs) > 0 &&
      Math.max(...xs) / Math.min(...xs) > 4;
  const ticks = numericVariable ?
      [...new Set(xs)].sort((a, b) => a - b).map((v) => ({v: v, label: String(v)})) :
      keys.map((k, i) => ({
                 v: i,
                 label: k.replace(/#0$/, '').replace(/#(\d+)$/, (m, n) => ' #' + (Number(n) + 1))
               }));
  let xRange = [-0.5, keys.length - 0.5];
  if (numericVariable) {
    const [low, high] = [Math.min(...xs), Math.max(...xs)];
    const pad = low === high ? 1 : (high - low) * 0.06;
    xRange = useLog ? [low / 1.2, high * 1.2] : [low - pad, high + pad];
  }
  return new Dygraph(box, rows, {
    labels: labels,
    xlabel: axisNames[variable] || variable,
    ylabel: 'MGups',
    includeZero: true,
    dateWindow: xRange,
    connectSeparatedPoints: true,
    drawPoints: true,
    colors: colours,
    legend: 'never',
    series: series,
    axes: {
      x: {
        logscale: useLog,
        drawGrid: false,
        ticker: (min, max, pixels) => spacedTicks(ticks, min, max, pixels, useLog),
      },
      y: {axisLabelWidth: 56},
    },
  });
}

function legend() {
  const box = el('div', {class: 'chart-legend'});
  files.forEach((f, index) => box.append(fileKey(index)));
  return box;
}

function scoreSection() {
  const section = el(
      'section', {id: 'scores'}, el('h2', null, 'Scores by ' + (axisNames[variable] || variable)));
  const valid = files.some((f) => f.points.some((p) => p.scores.length));
  root.append(section);
  if (!valid) {
    section.append(el('p', {class: 'notice'}, 'No file has a valid run to draw.'));
    return;
  }
  const box = el('div', {
    id: 'score-chart',
    class: 'chart',
    role: 'img',
    'aria-label': 'MGups of every valid run of every file by ' + variable
  });
  section.append(
      el('div', {class: 'chart-frame'}, box), legend(),
      el('p', {class: 'note'},
         numericVariable ?
             'Each dot is one valid run; each file\'s line joins its averages ' +
                 '(dashed: the file did not finish), its own points included.' :
             'Each dot is one valid run, files side by side at each point; the larger ' +
                 'dot is the file\'s average.'));
  window.briskCharts.score = scoreChart(box, categories());
}

// --- second by second: the two files' runs of one point ----------------------

function pointOf(file, label, occurrence) {
  return files[file].points.find((p) => p.label === label && p.occurrence === occurrence) || null;
}

// The runs of a point that carry a second-by-second record.
function timelinesOf(point) {
  const runs = point && Array.isArray(point.timelines) ? point.timelines : [];
  return runs.filter((t) => Array.isArray(t.mgups) && t.mgups.length > 0);
}

// One line per run of one file's point, on the scales both charts share.
function timelineChart(box, file, runs, seconds, top) {
  const dashed = {};
  runs.forEach((t, i) => {
    if (!t.valid) dashed['s' + i] = {strokePattern: [5, 4]};
  });
  return secondsChart(box, runs.map((t, i) => 's' + i), runs.map((t) => t.mgups), {
    valueRange: [0, top],
    colors: runs.map(() => colour(file)),
    series: dashed,
    legend: 'never',
    axes: {y: {axisLabelWidth: 56}},
  }, seconds);
}

function drawTimelinePair(pair, row) {
  for (const chart of window.briskCharts.timelines) chart.destroy();
  window.briskCharts.timelines = [];
  pair.replaceChildren();
  const sides = [0, row.file].map((file) => ({
                                    file: file,
                                    runs: timelinesOf(pointOf(file, row.label, row.occurrence))
                                  }));
  const all = sides.flatMap((side) => side.runs);
  if (!all.length) {
    pair.append(el('p', {class: 'notice'},
                   'Neither file holds this point second by second (files of brisk before ' +
                       'this record was kept).'));
    return;
  }
  const seconds = Math.max(...all.map((t) => t.mgups.length));
  const highest = Math.max(...all.flatMap((t) => t.mgups.filter(isNumber)), 0);
  const top = highest > 0 ? highest * 1.08 : 1;
  for (const side of sides) {
    const box = el('div', {
      class: 'chart timeline',
      role: 'img',
      'aria-label': files[side.file].name + ': MGups second by second at ' + rowPoint(row)
    });
    const column = el('div', {class: 'timeline-side'}, fileKey(side.file));
    pair.append(column);
    if (!side.runs.length) {
      column.append(el('p', {class: 'note'}, 'No second-by-second record in this file.'));
      continue;
    }
    column.append(el('div', {class: 'chart-frame'}, box),
                  el('p', {class: 'sub'}, plural(side.runs.length, 'run', 'runs') +
                                              (side.runs.some((t) => !t.valid) ?
                                                   ' (dashed: invalid)' : '')));
    window.briskCharts.timelines.push(timelineChart(box, side.file, side.runs, seconds, top));
  }
}

function timelineSection() {
  const part = section('timelines', 'Second by second');
  root.append(part);
  if (!data.rows.length) {
    part.append(el('p', {class: 'notice'}, 'No matched point to draw.'));
    return;
  }
  const select = el('select', {id: 'timeline-point'});
  data.rows.forEach((r, index) => {
    select.append(el('option', {value: index},
                     (files.length > 2 ? fileTag(r.file) + ', ' : '') + rowPoint(r)));
  });
  const pair = el('div', {class: 'timeline-pair', id: 'timeline-pair'});
  part.append(
      el('label', {class: 'pick'}, 'Point ', select), pair,
      el('p', {class: 'note'},
         'Each line is one run: its updates of every whole second, summed over its threads. ' +
             'Both charts share their scales.'));
  const draw = () => drawTimelinePair(pair, data.rows[Number(select.value)]);
  select.addEventListener('change', draw);
  draw();
}

// --- the change chart: bars and 95% intervals, drawn as SVG ------------------

function niceStep(span) {
  const raw = span / 5;
  const power = 10 ** Math.floor(Math.log10(raw));
  for (const m of [1, 2, 2.5, 5, 10]) {
    if (raw <= m * power) return m * power;
  }
  return 10 * power;
}

function deltaGroups() {
  const groups = [];
  const byKey = new Map();
  for (const r of data.rows) {
    const key = (r.variable || variable) + ' ' + r.label + '#' + r.occurrence;
    if (!byKey.has(key)) {
      byKey.set(key, {name: rowPoint(r), rows: []});
      groups.push(byKey.get(key));
    }
    byKey.get(key).rows.push(r);
  }
  return groups;
}

function deltaRange(groups) {
  const t = isNumber(data.threshold_percent) ? data.threshold_percent : 0;
  let [low, high] = [-t, t];
  for (const g of groups) {
    for (const r of g.rows) {
      for (const v of [r.delta_percent, r.ci_low_percent, r.ci_high_percent]) {
        if (isNumber(v)) [low, high] = [Math.min(low, v), Math.max(high, v)];
      }
    }
  }
  const pad = Math.max((high - low) * 0.08, 0.5);
  return [low - pad, high + pad];
}

// Drawn at the frame's own width, so its text keeps its size on a phone.
function deltaChart(groups, width) {
  const W = Math.max(300, Math.min(1100, Math.round(width) || 860));
  const [H, left, top, bottom] = [W < 600 ? 240 : 300, 52, 12, 40];
  const plotW = W - left - 8;
  const plotH = H - top - bottom;
  const [low, high] = deltaRange(groups);
  const y = (v) => top + (high - v) / (high - low) * plotH;
  const chart = svg('svg', {
    viewBox: '0 0 ' + W + ' ' + H,
    class: 'delta-chart',
    id: 'delta-chart',
    role: 'img',
    'aria-label': 'Change of every point against the base'
  });
  const t = data.threshold_percent;
  if (isNumber(t) && t > 0) {
    chart.append(
        svg('rect', {x: left, y: y(t), width: plotW, height: y(-t) - y(t), class: 'threshold'}));
  }
  const step = niceStep(high - low);
  for (let v = Math.ceil(low / step) * step; v <= high; v += step) {
    const value = Math.abs(v) < step / 1e6 ? 0 : v;
    chart.append(
        svg('line', {
          x1: left,
          x2: left + plotW,
          y1: y(value),
          y2: y(value),
          class: value === 0 ? 'zero' : 'grid'
        }),
        svg('text', {x: left - 6, y: y(value) + 4, class: 'tick', 'text-anchor': 'end'},
            (value > 0 ? '+' : '') + Number(value.toFixed(6)) + '%'));
  }
  const slot = plotW / Math.max(groups.length, 1);
  const others = files.length - 1;
  const barW = Math.max(1, Math.min(36, slot * 0.8 / Math.max(others, 1)));
  const labelEvery = Math.ceil(groups.length / Math.max(1, Math.floor(plotW / 44)));
  groups.forEach((g, gi) => {
    const centre = left + slot * (gi + 0.5);
    if (gi % labelEvery === 0) {
      chart.append(svg(
          'text', {x: centre, y: H - bottom + 16, class: 'tick', 'text-anchor': 'middle'}, g.name));
    }
    for (const r of g.rows) {
      const x = centre + ((r.file - 1) - (others - 1) / 2) * barW - barW / 2;
      chart.append(deltaBar(r, x, barW, y));
    }
  });
  chart.append(
      svg('text', {x: left + plotW / 2, y: H - 6, class: 'axis', 'text-anchor': 'middle'},
          axisNames[variable] || variable));
  return chart;
}

function deltaBar(r, x, w, y) {
  const group = svg('g', {'data-file': r.file});
  const tip = r.name + ', ' + (r.variable || variable) + ' ' + pointName(r.label, r.occurrence) +
      ': ' + signedPercent(r.delta_percent) +
      (isNumber(r.ci_low_percent) ? ' (95% ' + signedPercent(r.ci_low_percent) + ' to ' +
               signedPercent(r.ci_high_percent) + ')' :
                                    '') +
      ', ' + r.verdict + (r.like_for_like ? '' : ', not like for like');
  group.append(svg('title', null, tip));
  if (!isNumber(r.delta_percent)) {
    group.append(svg(
        'text', {x: x + w / 2, y: y(0) - 4, class: 'missing', 'text-anchor': 'middle'}, '\u2715'));
    return group;
  }
  const [y0, y1] = [y(0), y(r.delta_percent)];
  group.append(svg('rect', {
    x: x + w * 0.1,
    width: w * 0.8,
    y: Math.min(y0, y1),
    height: Math.max(Math.abs(y1 - y0), 1),
    fill: colour(r.file),
    class: 'delta-bar' + (r.like_for_like ? '' : ' unlike') +
        (r.base.noisy || r.other.noisy ? ' noisy' : '')
  }));
  if (isNumber(r.ci_low_percent) && isNumber(r.ci_high_percent)) {
    const cx = x + w / 2;
    const cap = Math.max(2, w * 0.25);
    const [a, b] = [y(r.ci_low_percent), y(r.ci_high_percent)];
    group.append(svg('path', {
      class: 'whisker',
      d: 'M' + cx + ' ' + a + 'V' + b + 'M' + (cx - cap) + ' ' + a + 'H' + (cx + cap) + 'M' +
          (cx - cap) + ' ' + b + 'H' + (cx + cap)
    }));
  }
  if (!r.like_for_like) {
    group.append(
        svg('text',
            {x: x + w / 2, y: Math.min(y0, y1) - 4, class: 'unlike-mark', 'text-anchor': 'middle'},
            '\u2260'));
  }
  return group;
}

function deltaSection() {
  const section = el('section', {id: 'changes'}, el('h2', null, 'Change against the base'));
  const groups = deltaGroups();
  if (!groups.length) {
    section.append(el('p', {class: 'notice'}, 'No matched point to compare.'));
    root.append(section);
    return;
  }
  const others = el('div', {class: 'chart-legend'});
  for (let i = 1; i < files.length; i += 1) others.append(fileKey(i));
  const frame = el('div', {class: 'svg-frame'});
  root.append(section);
  section.append(frame);
  let drawnWidth = frame.clientWidth;
  frame.append(deltaChart(groups, drawnWidth));
  window.addEventListener('resize', () => {
    if (Math.abs(frame.clientWidth - drawnWidth) < 2) return;
    drawnWidth = frame.clientWidth;
    frame.replaceChildren(deltaChart(groups, drawnWidth));
  });
  section.append(
      others,
      el('p', {class: 'note'},
         'Bars: change of the average, whiskers: its 95% ' +
             'interval, band: \u00b1' + data.threshold_percent + '%. Faded and \u2260: not ' +
             'like for like; outlined: a noisy side; \u2715: no change computed.'));
}

// --- page ------------------------------------------------------------------

document.title = 'brisk comparison: ' + files.map((f) => f.name).join(' vs ');
root.append(header());
if (data.schema.version !== 1) {
  root.append(
      el('p', {class: 'notice warn'},
         'This page was written for comparison version 1; ' +
             'the document says ' + data.schema.version + '.'));
}
root.append(comparisonSection());
deltaSection();
scoreSection();
timelineSection();
root.append(machineSection());
ready();
})();
