// Draws the brisk report from the results document embedded in the page
// (<script id="brisk-data">), so the page can never disagree with the JSON.
// Every text taken from the document (brand string, reasons, command line) is
// inserted with textContent or as an attribute value, never parsed as markup.
(function() {
'use strict';

const root = document.getElementById('report');
window.briskChart = null;
window.briskTimeline = null;
window.briskThreadTimeline = null;
window.briskScaling = null;
window.briskEfficiency = null;
window.briskRunsMap = null;
window.briskThreadMap = null;

const {
  badge, binaryBytes, el, embeddedDocument, fixed2, isNumber, pageHeader, plural, ready,
  redrawWhenPrinted, secondsChart, section, spacedTicks, utc
} = briskPage;

// --- text helpers of the report --------------------------------------------

// Exact: 3579545 Hz is "3.579545 MHz", never a rounded 3.58.
function frequency(hz) {
  const scales = [[9, 'GHz'], [6, 'MHz'], [3, 'kHz']];
  for (const [digits, unit] of scales) {
    const scale = 10 ** digits;
    if (hz < scale) continue;
    const fraction = String(hz % scale).padStart(digits, '0').replace(/0+$/, '');
    return Math.floor(hz / scale) + (fraction ? '.' + fraction : '') + ' ' + unit;
  }
  return hz + ' Hz';
}

function quoteArgument(arg) {
  return arg === '' || /[\s"']/.test(arg) ? '"' + arg.replace(/"/g, '\\"') + '"' : arg;
}

// --- the document ----------------------------------------------------------

const data = embeddedDocument(
    root, 'results',
    (d) => d.brisk && d.sweep && d.machine && Array.isArray(d.runs) && Array.isArray(d.summary));
if (!data) return;

const sweep = data.sweep;
const points = sweep.points;
const finished = data.brisk.finished === true;
const variable = sweep.variable;
const numericVariable = ['threads', 'size', 'duration'].includes(variable) && points.length > 0 &&
    points.every((p) => /^[0-9]+$/.test(p));
const axisNames = {
  threads: 'threads',
  size: 'grid edge',
  duration: 'seconds',
  isa: 'instruction set',
  none: ''
};
const chartTitles = {
  threads: 'Score by thread count',
  size: 'Score by grid edge',
  duration: 'Score by run duration',
  isa: 'Score by instruction set',
  none: 'Score of every run'
};

// Each run's point index: runs come in the order performed, point after
// point, so a run starts the next point when its label or sub-run number
// says so. Labels may repeat ("64,64"), hence no plain indexOf.
function placeRuns() {
  let index = -1;
  let previous = null;
  return data.runs.map((run) => {
    if (previous === null || run.point !== previous.point || run.sub_run <= previous.sub_run) {
      let next = index + 1;
      while (next < points.length && points[next] !== run.point) next += 1;
      index = next < points.length ? next : -1;
    }
    previous = run;
    const row = index >= 0 ? summaryRow(index) : null;
    const cell = row && row.cells.scores[run.sub_run - 1];
    const valid = run.valid === true && typeof run.score === 'number' && isFinite(run.score);
    return {
      run: run,
      point: index,
      valid: valid,
      label: index >= 0 ? points[index] : run.point,
      scoreText: cell !== undefined && cell !== null ? cell : (valid ? fixed2(run.score) : '---')
    };
  });
}

function summaryRow(index) {
  const row = data.summary[index];
  return row && row.point === points[index] && row.cells ? row : null;
}

function runName(placed) {
  return variable === 'none' ? 'run ' + placed.run.sub_run :
                               variable + ' ' + placed.label + ', run ' + placed.run.sub_run;
}

function reasonText(placed) {
  const reasons = placed.run.reasons || [];
  return reasons.length ? reasons.join('\n') : 'invalid (no reason was printed)';
}

const placedRuns = placeRuns();
const expectedRuns = points.length * sweep.sub_runs;

// --- header ----------------------------------------------------------------

function fact(list, name, ...value) {
  list.append(el('dt', null, name), el('dd', null, ...value));
}

function describeOs(os) {
  if (os.family === 'windows') {
    return 'Windows ' + os.version + (os.build !== null ? ' (build ' + os.build + ')' : '');
  }
  let text = os.name || 'Linux';
  if (os.version && !text.includes(os.version)) text += ' ' + os.version;
  return text + (os.kernel ? ', kernel ' + os.kernel : '');
}

const pageKindNames = {
  ordinary: 'ordinary pages',
  transparent: 'transparent huge pages',
  hugetlb: 'hugetlb pool',
  large: 'large pages'
};
const fullHugePagePercent = 90;

function percent(value) {
  return value.toFixed(1) + '%';
}

// The pages the runs' fields got, kind by kind with the range of their share
// on huge pages, and the system's setting; null when the document says
// nothing of pages (written by an older brisk).
function describePages() {
  const kinds = new Map();
  for (const run of data.runs) {
    const pages = run.pages;
    if (!pages || typeof pages.kind !== 'string') continue;
    const share = typeof pages.huge_percent === 'number' ? pages.huge_percent : 0;
    const seen = kinds.get(pages.kind) || {low: share, high: share, runs: 0};
    kinds.set(
        pages.kind,
        {low: Math.min(seen.low, share), high: Math.max(seen.high, share), runs: seen.runs + 1});
  }
  const system = data.machine.pages;
  if (!kinds.size && !system) return null;
  const parts = [];
  let partial = false;
  for (const [kind, k] of kinds) {
    let text = (pageKindNames[kind] || kind) + ' in ' + plural(k.runs, 'run', 'runs');
    if (kind !== 'ordinary' || k.high > 0) {
      text += ', ' +
          (k.low === k.high ? percent(k.low) : percent(k.low) + ' to ' + percent(k.high)) +
          ' of field memory on huge pages';
    }
    partial = partial || (kind === 'transparent' && k.low < fullHugePagePercent);
    parts.push(text);
  }
  const value = [parts.join('; ')];
  if (system) {
    const mode = system.transparent_huge_pages;
    const size = system.huge_page_size_bytes;
    value.push(
        el('div', {class: 'sub'},
           'system: ' +
               (mode !== null ? 'transparent huge pages ' + mode : 'no transparent huge pages') +
               ', huge page size ' + (size ? binaryBytes(size) : 'none')));
  }
  if (partial) {
    value.splice(
        1, 0, ' ',
        badge(
            'under ' + fullHugePagePercent + '% on huge pages', 'warn',
            'the score is not comparable with a full large-page run'));
  }
  return value;
}

function header() {
  const b = data.brisk;
  const {cpu, topology, memory, os} = data.machine;
  const timers = data.timers;
  const s = data.settings;
  const status = finished ?
      badge('finished', 'good') :
      badge('running', 'warn', 'the sweep had not ended when this page was written');
  const facts = el('dl', {class: 'facts'});

  // The end on the same day shows its time only.
  const end = !b.end_time                                   ? '' :
      b.end_time.slice(0, 10) === b.start_time.slice(0, 10) ? utc(b.end_time).slice(11) :
                                                              utc(b.end_time);
  fact(
      facts, 'Date', utc(b.start_time), end ? ' to ' + end : '',
      finished ? '' :
                 el('span', {class: 'note'},
                    ' not finished: written after run ' + data.runs.length + ' of ' + expectedRuns +
                        '; the page is rewritten after every run'));
  fact(
      facts, 'Processor', cpu.brand.trim(), ' ',
      cpu.hypervisor ? badge('virtual machine', 'warn', 'CPUID reports a hypervisor') : '',
      el('div', {class: 'sub'},
         cpu.vendor + ', family ' + cpu.family + ', model ' + cpu.model + ', stepping ' +
             cpu.stepping + (cpu.features.length ? '; ' + cpu.features.join(' ') : '')));
  fact(facts, 'Topology', [
    plural(topology.packages, 'package', 'packages'),
    plural(topology.numa_nodes, 'NUMA node', 'NUMA nodes'), plural(topology.cores, 'core', 'cores'),
    plural(topology.logical_processors, 'logical processor', 'logical processors')
  ].join(', '));
  fact(
      facts, 'Memory',
      binaryBytes(memory.total_bytes) + ' total, ' + binaryBytes(memory.available_bytes) +
          ' available at the start');
  fact(
      facts, 'Operating system', describeOs(os), ' ',
      os.wine ? badge('Wine ' + os.wine, 'warn', 'brisk.exe ran under Wine') : '');
  fact(
      facts, 'Timers',
      'fast: ' + timers.fast.source + ', ' + frequency(timers.fast.frequency_hz) +
          '; coarse: ' + frequency(timers.coarse.frequency_hz));
  fact(
      facts, 'HWBOT timer rules',
      timers.hwbot_compliant ? badge('compliant', 'good') : badge('not compliant', 'bad'),
      timers.check_bypassed ? ' ' : '',
      timers.check_bypassed ? badge('check bypassed', 'warn', '--bypass-timer-check was given') :
                              '');
  fact(facts, 'Settings', [
    'threads ' + (s.numthreads === 0 ? 'automatic' : s.numthreads), 'duration ' + s.duration + ' s',
    'grid edge ' + s.size, 'threading ' + s.threading, 'workload ' + s.workload, 'ISA ' + s.isa,
    'strict ISA check ' + (s.strict_isa_check ? 'on' : 'off'),
    'large pages ' + (s.large_pages ? 'on' : 'off')
  ].join(', '));
  const pages = describePages();
  if (pages) fact(facts, 'Pages', ...pages);
  fact(
      facts, 'Sweep',
      variable + (sweep.option ? ' (--harness-opt ' + sweep.option + ')' : '') + ', ' +
          plural(sweep.sub_runs, 'sub-run', 'sub-runs') + ' per point, ' +
          plural(points.length, 'point', 'points') +
          (points.length ? ': ' + points.join(', ') : ''));
  fact(facts, 'Program', 'brisk ' + b.version + ', ' + b.compiler + ', ' + b.target);
  fact(facts, 'Command line', el('code', null, b.command_line.map(quoteArgument).join(' ')));
  return pageHeader('brisk ' + b.version + ' results ', [status], facts);
}

// --- results table, the console's texts ------------------------------------

function resultsTable() {
  const columns = points.length ? sweep.sub_runs : 0;
  const head = el('tr', null, el('th', {scope: 'col'}, variable));
  for (let j = 1; j <= columns; j += 1) head.append(el('th', {scope: 'col'}, 'run ' + j));
  head.append(el('th', {scope: 'col'}, 'avg'), el('th', {scope: 'col'}, 'max/min'));

  const byCell = new Map(placedRuns.map((p) => [p.point + '/' + p.run.sub_run, p]));
  const body = el('tbody');
  data.summary.forEach((row, index) => {
    const tr = el('tr', null, el('th', {scope: 'row'}, row.point));
    for (let j = 0; j < columns; j += 1) {
      const text = row.cells.scores[j];
      if (text === undefined) {
        tr.append(el('td', {class: 'pending', title: 'not run yet'}, ''));
        continue;
      }
      const placed = byCell.get(index + '/' + (j + 1));
      const invalid = placed ? !placed.valid : text === '---';
      const warnings = placed && placed.valid ? placed.run.warnings || [] : [];
      const attrs = invalid ?
          {class: 'invalid', title: placed ? reasonText(placed) : 'invalid run'} :
          warnings.length ? {class: 'warned', title: warnings.join('\n')} :
                            null;
      tr.append(el('td', attrs, text));
    }
    // A point not run yet shows "---" too, but nothing went wrong there.
    const noScore = row.cells.average === '---';
    const noScoreAttrs = row.cells.scores.length ? {class: 'invalid', title: 'no valid run'} :
                                                   {class: 'pending', title: 'not run yet'};
    tr.append(
        el('td', noScore ? noScoreAttrs : {class: 'avg'}, row.cells.average),
        el('td', noScore ? noScoreAttrs : null, row.cells.spread));
    body.append(tr);
  });
  const table = el('table', {id: 'results-table'}, el('thead', null, head), body);
  const section =
      el('section', {id: 'results'}, el('h2', null, variable + ' results'),
         el('div', {class: 'table-wrap'}, table));
  if (!data.summary.length) {
    section.append(el('p', {class: 'note'}, 'No point has finished a run yet.'));
  }
  return section;
}

// --- the sweep chart -------------------------------------------------------

// Sub-runs of one categorical point sit side by side around its index.
function groupOffset(subRun) {
  const n = Math.max(sweep.sub_runs, 1);
  if (n === 1) return 0;
  const spread = Math.min(0.6, 0.12 * (n - 1));
  return -spread / 2 + (subRun - 1) * spread / (n - 1);
}

function chartRows() {
  const rows = [];
  points.forEach((label, index) => {
    const row = summaryRow(index);
    const x = numericVariable ? Number(label) : index;
    const average = row && typeof row.average === 'number' ? row.average : null;
    rows.push({
      x: x,
      average: average,
      score: null,
      pointIndex: index,
      text: row ? row.cells.average : '',
      name: variable === 'none' ? label : variable + ' ' + label
    });
  });
  for (const placed of placedRuns) {
    if (!placed.valid || placed.point < 0) continue;
    const x =
        numericVariable ? Number(placed.label) : placed.point + groupOffset(placed.run.sub_run);
    rows.push({
      x: x,
      average: null,
      score: placed.run.score,
      pointIndex: placed.point,
      text: placed.scoreText,
      name: runName(placed)
    });
  }
  // dygraphs wants x ascending; the sort is stable, so the average row of a
  // point stays ahead of its runs.
  return rows.sort((a, b) => a.x - b.x);
}

// Invalid runs are never drawn as a score: a dashed red line at their
// place, and one count per point above them.
function invalidMarks() {
  const lines = new Set();
  const byPoint = new Map();
  for (const placed of placedRuns) {
    if (placed.valid || placed.point < 0) continue;
    const x =
        numericVariable ? Number(placed.label) : placed.point + groupOffset(placed.run.sub_run);
    lines.add(x);
    const xs = byPoint.get(placed.point) || [];
    byPoint.set(placed.point, xs.concat([x]));
  }
  const labels = [...byPoint.values()].map((xs) => ({
                                             x: xs.reduce((sum, x) => sum + x, 0) / xs.length,
                                             text: (xs.length > 1 ? xs.length : '') + '\u2715',
                                           }));
  return {lines: [...lines], labels: labels};
}

function xWindow(useLog) {
  if (!numericVariable) return [-0.5, points.length - 0.5];
  const xs = points.map(Number);
  const low = Math.min(...xs);
  const high = Math.max(...xs);
  if (useLog) return [low / 1.25, high * 1.25];
  if (low === high) return [low - 1, high + 1];
  const pad = (high - low) * 0.08;
  return [low - pad, high + pad];
}

// Ticks at the sweep's points only, dropping a label that would touch the
// one before it.
function pointTicker(useLog) {
  const ticks = numericVariable ? [...new Set(points.map(Number))]
                                      .sort((a, b) => a - b)
                                      .map((v) => ({v: v, label: String(v)})) :
                                  points.map((label, index) => ({v: index, label: label}));
  return (min, max, pixels) => spacedTicks(ticks, min, max, pixels, useLog);
}

function drawChart(box, legend) {
  const rows = chartRows();
  const marks = invalidMarks();
  const xs = points.map(Number);
  const useLog = numericVariable && variable === 'size' && Math.min(...xs) > 0 &&
      Math.max(...xs) / Math.min(...xs) > 4;
  const xText = (x, opts, series, g, row) =>
      row !== undefined && rows[row] ? rows[row].name : String(x);
  const yText = (y, opts, series, g, row) => {
    const info = rows[row];
    if (!info) return String(y);
    return series === 'average' ? (info.average === null ? '' : info.text) :
                                  (info.score === null ? '' : info.text);
  };
  const chart = new Dygraph(box, rows.map((r) => [r.x, r.average, r.score]), {
    labels: [axisNames[variable] || variable, 'average', 'runs'],
    xlabel: axisNames[variable] === undefined ? variable : axisNames[variable],
    ylabel: 'MGups',
    includeZero: true,
    dateWindow: xWindow(useLog),
    connectSeparatedPoints: true,
    drawPoints: true,
    colors: ['#c7671a', '#1f5fa8'],
    labelsDiv: legend,
    legend: 'always',
    labelsSeparateLines: false,
    series: {
      average: {
        strokeWidth: numericVariable ? 2 : 0,
        pointSize: numericVariable ? 2.5 : 5,
        highlightCircleSize: 6
      },
      runs: {strokeWidth: 0, pointSize: 3.5, highlightCircleSize: 5},
    },
    axes: {
      x: {
        logscale: useLog,
        ticker: pointTicker(useLog),
        valueFormatter: xText,
        drawGrid: false,
        pixelsPerLabel: 30
      },
      y: {axisLabelWidth: 64, valueFormatter: yText},
    },
    underlayCallback: (ctx, area, g) => {
      ctx.save();
      ctx.strokeStyle = '#c62828';
      ctx.fillStyle = '#c62828';
      ctx.lineWidth = 1.5;
      ctx.setLineDash([5, 4]);
      ctx.font = 'bold 12px sans-serif';
      ctx.textAlign = 'center';
      // toDomXCoord ignores a log x axis; the percentage does not.
      const place = (x) => area.x + g.toPercentXCoord(x) * area.w;
      const inside = (x) => x >= area.x && x <= area.x + area.w;
      for (const x of marks.lines.map(place).filter(inside)) {
        ctx.beginPath();
        ctx.moveTo(x, area.y + 16);
        ctx.lineTo(x, area.y + area.h);
        ctx.stroke();
      }
      for (const label of marks.labels) {
        const x = place(label.x);
        if (inside(x)) ctx.fillText(label.text, x, area.y + 12);
      }
      ctx.restore();
    },
  });
  return redrawWhenPrinted(chart);
}

function chartSection() {
  const part = section('chart-section', chartTitles[variable] || 'Score by ' + variable);
  const valid = placedRuns.filter((p) => p.valid);
  const invalid = placedRuns.filter((p) => !p.valid);
  root.append(part);
  if (!valid.length) {
    part.append(
        el('p', {class: 'notice'},
           data.runs.length ?
               'No valid run to draw: every run so far was invalid or refused (see below).' :
               'No run has finished yet.'));
  } else {
    const box = el('div', {
      id: 'brisk-chart',
      class: 'chart',
      role: 'img',
      'aria-label': 'MGups of every valid run by ' + variable
    });
    const legend = el('div', {class: 'chart-legend'});
    part.append(el('div', {class: 'chart-frame'}, box), legend);
    part.append(
        el('p', {class: 'note'},
           numericVariable ?
               'Each dot is one valid run; the line joins the averages of the table.' :
               'Each dot is one valid run, sub-runs side by side; the larger dot is the average.'));
    window.briskChart = drawChart(box, legend);
  }
  if (invalid.length) {
    const list = el('ul', {class: 'invalid-runs', id: 'invalid-runs'});
    for (const placed of invalid) {
      const reasons = placed.run.reasons && placed.run.reasons.length ? placed.run.reasons :
                                                                        ['no reason was printed'];
      list.append(
          el('li', null, el('strong', null, runName(placed)),
             valid.length ? ': invalid, not drawn (\u2715 on the chart)' : ': invalid',
             el('span', {class: 'reasons'}, ...reasons.map((r) => el('span', null, r)))));
    }
    part.append(el('h3', null, plural(invalid.length, 'invalid run', 'invalid runs')), list);
  }
}

// --- how a threads sweep scales ----------------------------------------------

// Each thread count's average score beside ideal scaling: the score per
// thread of the smallest count (the one-thread score when the sweep starts at
// one) times the threads. A point's parallel efficiency is its score over its
// ideal. Null for any other sweep, or with fewer than two counts to compare.
function scalingRows() {
  if (variable !== 'threads' || !numericVariable) return null;
  const rows = [];
  points.forEach((label, index) => {
    const row = summaryRow(index);
    const threads = Number(label);
    if (!row || threads < 1 || typeof row.average !== 'number' || !isFinite(row.average) ||
        row.average <= 0) {
      return;
    }
    rows.push({threads: threads, score: row.average, text: row.cells.average});
  });
  if (rows.length < 2) return null;
  rows.sort((a, b) => a.threads - b.threads);
  const base = rows[0];
  const perThread = base.score / base.threads;
  for (const row of rows) {
    row.ideal = perThread * row.threads;
    row.efficiency = 100 * row.score / row.ideal;
  }
  return {base: base, rows: rows};
}

function scalingChart(box, legend, rows) {
  const chart = new Dygraph(box, rows.map((r) => [r.threads, r.score, r.ideal]), {
    labels: ['threads', 'average', 'ideal scaling'],
    dateWindow: xWindow(false),
    xlabel: 'threads',
    ylabel: 'MGups',
    includeZero: true,
    drawPoints: rows.length <= 64,
    pointSize: 2.5,
    colors: ['#c7671a', '#6b7680'],
    labelsDiv: legend,
    legend: 'always',
    labelsSeparateLines: false,
    series: {'ideal scaling': {strokePattern: [6, 4], strokeWidth: 1.5}, average: {strokeWidth: 2}},
    axes: {
      x: {
        valueFormatter: (x) => plural(x, 'thread', 'threads'),
        ticker: pointTicker(false),
        drawGrid: false
      },
      y: {axisLabelWidth: 64, valueFormatter: (y) => fixed2(y)}
    }
  });
  return redrawWhenPrinted(chart);
}

function efficiencyChart(box, legend, rows) {
  const top = Math.max(110, ...rows.map((r) => r.efficiency + 5));
  const chart = new Dygraph(box, rows.map((r) => [r.threads, r.efficiency]), {
    labels: ['threads', 'parallel efficiency'],
    dateWindow: xWindow(false),
    xlabel: 'threads',
    ylabel: 'efficiency (%)',
    valueRange: [0, top],
    drawPoints: rows.length <= 64,
    pointSize: 2.5,
    strokeWidth: 2,
    colors: ['#1f5fa8'],
    labelsDiv: legend,
    legend: 'always',
    labelsSeparateLines: false,
    axes: {
      x: {
        valueFormatter: (x) => plural(x, 'thread', 'threads'),
        ticker: pointTicker(false),
        drawGrid: false
      },
      y: {axisLabelWidth: 64, valueFormatter: (y) => y.toFixed(1) + '%'}
    },
    // 100% is the ideal the efficiency is measured against.
    underlayCallback: (ctx, area, g) => {
      const y = g.toDomYCoord(100);
      ctx.save();
      ctx.strokeStyle = '#6b7680';
      ctx.setLineDash([6, 4]);
      ctx.beginPath();
      ctx.moveTo(area.x, y);
      ctx.lineTo(area.x + area.w, y);
      ctx.stroke();
      ctx.restore();
    }
  });
  return redrawWhenPrinted(chart);
}

// A table of every point where it stays short; a long sweep reads its points
// from the charts' legends.
function scalingTable(rows) {
  const head = el('tr', null);
  for (const name of ['threads', 'avg', 'ideal', 'efficiency']) {
    head.append(el('th', {scope: 'col'}, name));
  }
  const body = el('tbody');
  for (const r of rows) {
    body.append(
        el('tr', null, el('th', {scope: 'row'}, String(r.threads)), el('td', null, r.text),
           el('td', null, fixed2(r.ideal)), el('td', null, r.efficiency.toFixed(1) + '%')));
  }
  return el(
      'div', {class: 'table-wrap'},
      el('table', {id: 'scaling-table'}, el('thead', null, head), body));
}

function scalingSection() {
  const scaling = scalingRows();
  if (!scaling) return;
  const {base, rows} = scaling;
  const last = rows[rows.length - 1];
  const part = section('scaling', 'Scaling with the threads');
  root.append(part);
  const scoreView = chartBox('scaling-chart', 'Average score and ideal scaling by thread count');
  const efficiencyView = chartBox('efficiency-chart', 'Parallel efficiency by thread count');
  part.append(
      el('p', {class: 'note'},
         'Ideal scaling is the ' +
             (base.threads === 1 ? 'one-thread score' :
                                   'score per thread at ' + base.threads + ' threads') +
             ' (' + fixed2(base.score / base.threads) + ' MGups) times the threads; ' +
             'a point\'s parallel efficiency is its average score over its ideal.'),
      scoreView.frame, scoreView.legend, efficiencyView.frame, efficiencyView.legend,
      el('p', {class: 'sub', id: 'scaling-summary'},
         'At ' + plural(last.threads, 'thread', 'threads') + ': ' + last.text + ' MGups, ' +
             last.efficiency.toFixed(1) + '% of the ideal ' + fixed2(last.ideal) + '.'));
  if (rows.length <= 16) part.append(scalingTable(rows));
  window.briskScaling = scalingChart(scoreView.box, scoreView.legend, rows);
  window.briskEfficiency = efficiencyChart(efficiencyView.box, efficiencyView.legend, rows);
}

// --- maps: a row per series, a column per second ---------------------------

// A card per run with a bar per thread reads at a glance for a desktop's few
// threads and runs; a big machine's sweep (hundreds of runs of hundreds of
// threads) is shown one run at a time, picked from a list, as a map.
const cardThreadLimit = 16;
const cardRunLimit = 48;

function threadMapWanted() {
  let most = 0;
  for (const placed of placedRuns) most = Math.max(most, (placed.run.threads || []).length);
  return most > cardThreadLimit || placedRuns.length > cardRunLimit;
}

// Dark blue for the slowest through green to yellow for the fastest (the
// viridis scale, which stays ordered in grey and for colour-blind readers).
const mapStops = [[68, 1, 84], [59, 82, 139], [33, 145, 140], [94, 201, 98], [253, 231, 37]];

function mapColour(fraction) {
  const f = Math.max(0, Math.min(1, fraction)) * (mapStops.length - 1);
  const i = Math.min(Math.floor(f), mapStops.length - 2);
  const t = f - i;
  const mix = (c) => Math.round(mapStops[i][c] + (mapStops[i + 1][c] - mapStops[i][c]) * t);
  return 'rgb(' + mix(0) + ',' + mix(1) + ',' + mix(2) + ')';
}

// Paints `rows` (per-second values) on `canvas`: a row per array, a column
// per second, each cell coloured by fraction(value, row) (0 the darkest, 1
// the brightest); seconds a row lacks stay blank. Returns the row height and
// width in pixels, for reading a cell back from a pointer position.
function paintMap(canvas, rows, seconds, fraction) {
  const rowHeight = Math.max(1, Math.min(14, Math.floor(420 / rows.length)));
  const width = Math.max(seconds, Math.floor(canvas.clientWidth || 600));
  canvas.width = width;
  canvas.height = rows.length * rowHeight;
  canvas.style.height = canvas.height + 'px';
  const ctx = canvas.getContext('2d');
  ctx.fillStyle = '#f5f7f9';
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  rows.forEach((row, i) => {
    row.forEach((v, k) => {
      if (!isNumber(v)) return;
      const x0 = Math.round(k * width / seconds);
      const x1 = Math.round((k + 1) * width / seconds);
      ctx.fillStyle = mapColour(fraction(v, i));
      ctx.fillRect(x0, i * rowHeight, x1 - x0, rowHeight);
    });
  });
  return {rowHeight: rowHeight, width: width};
}

// Names the cell under the pointer in `caption`: text(row, second, value).
function captionOnHover(canvas, caption, painted, rows, seconds, text) {
  canvas.onmousemove = (event) => {
    const box = canvas.getBoundingClientRect();
    const row = Math.floor((event.clientY - box.top) / painted.rowHeight);
    const second = Math.floor((event.clientX - box.left) / box.width * seconds);
    const v = (rows[row] || [])[second];
    if (typeof v === 'number') caption.textContent = text(row, second, v);
  };
}

function mapScale(low, high) {
  return el(
      'div', {class: 'map-scale'}, el('span', null, low), el('span', {class: 'map-gradient'}),
      el('span', null, high));
}

// --- second by second ------------------------------------------------------

// A run's per-second MGups as the document holds it; null when it has none
// (a document of an older brisk, or a run that never started its loop).
function timelineOf(run) {
  const t = run.timeline;
  const ok = (v) => Array.isArray(v) && v.length > 0 && v.every((x) => typeof x === 'number');
  return t && ok(t.mgups) ? t : null;
}

// A run's (or a thread's) measured clock per second, null where it has none
// (documents of older brisks, runs on processors whose clock brisk could not
// measure).
function clocksOf(values) {
  return Array.isArray(values) && values.some((v) => typeof v === 'number') ? values : null;
}

// What a second-by-second chart shows: the score or the clock.
const RATE_UNIT = {ylabel: 'MGups', format: fixed2, includeZero: true};
const CLOCK_UNIT = {ylabel: 'MHz', format: (y) => Math.round(y) + ' MHz', includeZero: false};

// Each series a line over the run's seconds, with the report's legend.
function drawTimeline(box, legend, names, series, unit = RATE_UNIT) {
  return redrawWhenPrinted(secondsChart(box, names, series, {
    ylabel: unit.ylabel,
    includeZero: unit.includeZero,
    strokeWidth: 1.5,
    labelsDiv: legend,
    legend: 'always',
    labelsSeparateLines: false,
    axes: {
      x: {valueFormatter: (x) => (x - 0.5) + '\u2013' + (x + 0.5) + ' s'},
      y: {axisLabelWidth: 64, valueFormatter: (y) => unit.format(y)}
    }
  }));
}

function chartBox(id, label) {
  const box = el('div', {id: id, class: 'chart', role: 'img', 'aria-label': label});
  const legend = el('div', {class: 'chart-legend'});
  return {box: box, legend: legend, frame: el('div', {class: 'chart-frame'}, box)};
}

function threadView(part, runs) {
  const select = el('select', {id: 'thread-timeline-run'});
  runs.forEach((placed, i) => select.append(el('option', {value: i}, runName(placed))));
  const view = chartBox('thread-timeline-chart', 'MGups of each thread, second by second');
  const clockView = chartBox('thread-clock-chart', 'Clock of each thread, second by second');
  part.append(
      el('h3', null, 'Each thread, second by second'),
      el('label', {class: 'pick'}, 'Run ', select), view.frame, view.legend, clockView.frame,
      clockView.legend);
  const draw = () => {
    if (window.briskThreadTimeline) window.briskThreadTimeline.destroy();
    if (window.briskThreadClockTimeline) window.briskThreadClockTimeline.destroy();
    window.briskThreadClockTimeline = null;
    const run = runs[Number(select.value)].run;
    const threads = timelineOf(run).threads;
    const names = threads.map((_, index) => 'T' + index);
    // A thread without a second still gets its name, with nothing drawn.
    window.briskThreadTimeline =
        drawTimeline(view.box, view.legend, names, threads.map((t) => (Array.isArray(t) ? t : [])));
    const clocks = timelineOf(run).threads_clock_mhz;
    const measured = Array.isArray(clocks) && clocks.some(clocksOf);
    clockView.frame.hidden = clockView.legend.hidden = !measured;
    if (measured) {
      window.briskThreadClockTimeline = drawTimeline(
          clockView.box, clockView.legend, clocks.map((_, index) => 'T' + index),
          clocks.map((c) => (Array.isArray(c) ? c : [])), CLOCK_UNIT);
    }
  };
  select.addEventListener('change', draw);
  draw();
}

// A long sweep's runs as one picture: a row per run, a column per second,
// coloured by the second's rate against the run's own median second, so a
// run that lost its pace stands out whatever its thread count.
function runsMap(part, drawn) {
  const rows = drawn.map((p) => timelineOf(p.run).mgups);
  const medians = rows.map((row) => {
    const sorted = [...row].sort((a, b) => a - b);
    const mid = Math.floor(sorted.length / 2);
    return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
  });
  const seconds = Math.max(...rows.map((row) => row.length));
  const canvas = el('canvas', {
    id: 'runs-map',
    role: 'img',
    'aria-label': 'MGups of every valid run (rows) in each second (columns)'
  });
  const caption =
      el('p', {class: 'sub', id: 'runs-map-caption'},
         'Rows ' + runName(drawn[0]) + ' to ' + runName(drawn[drawn.length - 1]) +
             ', columns 0 to ' + seconds + ' s; point at the map to read a second.');
  part.append(
      el('div', {class: 'thread-map'}, mapScale('50% or less', '100% of the run\'s median second'),
         canvas, caption),
      el('p', {class: 'note'},
         'One row per valid run: the updates of each whole second, summed over its threads, ' +
             'against the run\'s median second. A row that darkens is a run that lost its pace.'));
  const share = (v, i) => (medians[i] > 0 ? v / medians[i] : 0);
  const painted = paintMap(canvas, rows, seconds, (v, i) => (share(v, i) - 0.5) / 0.5);
  captionOnHover(
      canvas, caption, painted, rows, seconds,
      (run, second, v) => runName(drawn[run]) + ', ' + second + '\u2013' + (second + 1) + ' s: ' +
          fixed2(v) + ' MGups, ' + (100 * share(v, run)).toFixed(1) + '% of its median second');
  return {rows: rows.length, seconds: seconds, rowHeight: painted.rowHeight, width: painted.width};
}

function timelineSection() {
  const part = section('timeline', 'Second by second');
  root.append(part);
  const drawn = placedRuns.filter((p) => p.valid && timelineOf(p.run));
  if (!drawn.length) {
    part.append(
        el('p', {class: 'note'},
           placedRuns.some((p) => p.valid) ?
               'The runs of this document were not recorded second by second.' :
               'No valid run to draw.'));
    return;
  }
  if (drawn.length > cardRunLimit) {
    window.briskRunsMap = runsMap(part, drawn);
    return;
  }
  const view = chartBox('timeline-chart', 'MGups of every valid run, second by second');
  part.append(view.frame, view.legend,
                 el('p', {class: 'note'},
                    'One line per valid run: the updates of each whole second, summed over ' +
                        'its threads. A line that sags is a run that lost its pace.'));
  window.briskTimeline =
      drawTimeline(view.box, view.legend, drawn.map(runName), drawn.map((p) => timelineOf(p.run).mgups));
  const clocked = drawn.filter((p) => clocksOf(timelineOf(p.run).clock_mhz));
  if (clocked.length) {
    const clockView = chartBox('clock-chart', 'Clock of every valid run, second by second');
    part.append(clockView.frame, clockView.legend,
                   el('p', {class: 'note'},
                      'The clock brisk measured at the end of each second, the mean over the ' +
                          'run\'s threads: a score that sags while its clock holds lost time, ' +
                          'not speed.'));
    window.briskClockTimeline =
        drawTimeline(clockView.box, clockView.legend, clocked.map(runName),
                     clocked.map((p) => timelineOf(p.run).clock_mhz), CLOCK_UNIT);
  }
  const threaded = drawn.filter((p) => {
    const threads = timelineOf(p.run).threads;
    return Array.isArray(threads) && threads.length > 1;
  });
  // A big machine's threads are shown as a map instead (below).
  if (threaded.length && !threadMapWanted()) threadView(part, threaded);
}

// --- per-thread bars -------------------------------------------------------

function threadBars(threads, scale) {
  const sorted = [...threads].sort((a, b) => a.index - b.index);
  // Beyond a few threads a row per thread makes the page too long: one
  // column per thread, with the lowest and highest spelled out.
  const columns = sorted.length > 8;
  const box = el('div', {class: columns ? 'columns' : 'bars'});
  for (const thread of sorted) {
    const text = fixed2(thread.mgups);
    const share = scale > 0 ? Math.max(0, Math.min(100, 100 * thread.mgups / scale)) : 0;
    const bar = el('span', {class: 'bar'});
    if (columns) {
      bar.style.height = share + '%';
      box.append(
          el('span', {class: 'column', title: 'thread ' + thread.index + ': ' + text + ' MGups'},
             bar));
    } else {
      bar.style.width = share + '%';
      box.append(
          el('div', {class: 'bar-row'}, el('span', {class: 'bar-label'}, 'T' + thread.index),
             el('span', {class: 'bar-track'}, bar), el('span', {class: 'bar-value'}, text)));
    }
  }
  if (!columns) return box;
  const byRate = [...sorted].sort((a, b) => a.mgups - b.mgups);
  const low = byRate[0];
  const high = byRate[byRate.length - 1];
  return el(
      'div', null, box,
      el('p', {class: 'sub'},
         'T0 to T' + sorted[sorted.length - 1].index + '; lowest T' + low.index + ' ' +
             fixed2(low.mgups) + ', highest T' + high.index + ' ' + fixed2(high.mgups)));
}

// One run's card: its score or why it is invalid, its figures, its warnings
// and `detail` (the bars of its threads unless given).
function runCard(placed, scale, detail) {
  const run = placed.run;
  const threads = run.threads || [];
  const card =
      el('article', {class: 'run' + (placed.valid ? '' : ' invalid')},
         el('h3', null, el('span', null, runName(placed)),
            placed.valid ? el('span', {class: 'score'}, placed.scoreText + ' MGups') :
                           badge('invalid', 'bad', reasonText(placed))));
  const rates = threads.map((t) => t.mgups).filter((r) => r > 0);
  const meta = [
    plural(run.settings.threads, 'thread', 'threads'), 'grid edge ' + run.settings.size,
    run.settings.isa, run.settings.duration + ' s'
  ];
  if (run.initialization_ms !== null) meta.push('init ' + run.initialization_ms + ' ms');
  if (rates.length > 1) {
    meta.push(
        'threads max/min ' + fixed2((Math.max(...rates) / Math.min(...rates) - 1) * 100) + '%');
  }
  card.append(el('p', {class: 'sub'}, meta.join(', ')));
  if (!placed.valid) card.append(el('p', {class: 'reasons'}, reasonText(placed)));
  if (placed.valid && run.warnings && run.warnings.length) {
    card.append(el('p', {class: 'warnings'}, run.warnings.join('\n')));
  }
  if (detail) card.append(detail);
  card.append(
      threads.length ? threadBars(threads, scale) :
                       el('p', {class: 'note'}, 'No thread finished its timed loop.'));
  return card;
}

function threadSection() {
  const section =
      el('section', {id: 'threads'}, el('h2', null, 'MGups of each thread'),
         el('p', {class: 'note'},
            'Bars share one scale across all runs: a short bar ' +
                'is a thread that did less work than its peers.'));
  let scale = 0;
  for (const placed of placedRuns) {
    for (const thread of placed.run.threads || []) scale = Math.max(scale, thread.mgups);
  }
  const grid = el('div', {class: 'run-grid'});
  for (const placed of placedRuns) grid.append(runCard(placed, scale, null));
  section.append(grid);
  if (!placedRuns.length) section.append(el('p', {class: 'note'}, 'No run has finished yet.'));
  return section;
}

// --- brisk stability: one bar per logical processor -------------------------

function stabilityFailureText(failure) {
  if (failure.first_wrong_value === null) return failure.text + ', round ' + failure.round;
  return failure.wrong_values + ' wrong values, first ' + failure.first_wrong_value +
      ': expected ' + failure.expected + ', found ' + failure.found + ', round ' + failure.round;
}

function stabilitySection(stability) {
  const rows = stability.rows;
  const box = section('stability', 'MGups of each logical processor');
  box.append(
      el('p', {class: 'note'},
         'One benchmark thread on one logical processor at a time, ' +
             plural(stability.rounds, 'round', 'rounds') + ', standing_wave with its ' +
             'whole grid compared bit for bit. Slow: more than 10% below the median.'));
  const scale = Math.max(0, ...rows.map((r) => r.mgups || 0));
  const bars = el('div', {class: 'bars stability-bars'});
  for (const row of rows) {
    const p = row.processor;
    const name = (row.package === null ? '?' : 'P' + row.package) + ' C' + row.core + ' L' +
        (p.group ? p.group + ':' : '') + p.number;
    const bar = el('span', {class: 'bar'});
    bar.style.width = (scale > 0 && row.mgups ? 100 * row.mgups / scale : 0) + '%';
    const marks = el('span', {class: 'bar-mark'});
    if (row.failure) {
      marks.append(badge(
          row.failure.wrong_value ? 'wrong values' : 'failed', 'bad',
          stabilityFailureText(row.failure)));
    }
    if (row.slow) marks.append(badge('slow', 'warn', 'more than 10% below the median'));
    const classes = 'bar-row' + (row.failure ? ' failing' : '') + (row.slow ? ' slow' : '');
    bars.append(
        el('div', {class: classes, title: row.failure ? stabilityFailureText(row.failure) : 'ok'},
           el('span', {class: 'bar-label'}, name), el('span', {class: 'bar-track'}, bar),
           el('span', {class: 'bar-value'}, row.mgups === null ? '-' : fixed2(row.mgups)), marks));
  }
  box.append(bars);
  const failing = rows.filter((r) => r.failure);
  if (failing.length) {
    const list = el('ul', {class: 'invalid-runs'});
    for (const row of failing) {
      list.append(
          el('li', null, 'core ' + row.core + ', logical processor ' + row.processor.number + ': ',
             el('span', {class: 'reasons'}, stabilityFailureText(row.failure))));
    }
    box.append(list);
  }
  if (!rows.length) box.append(el('p', {class: 'note'}, 'No logical processor was checked.'));
  return box;
}

// --- each thread of one run as a map ----------------------------------------

// The thread rows of a run's timeline and the range the colours span: from
// the run's fastest thread-second down to half of it (or the slowest, if
// lower), so a thread that lost a tenth of its pace stands out from the
// noise of the others.
function mapRows(run) {
  const t = timelineOf(run);
  const rows =
      t && Array.isArray(t.threads) ? t.threads.map((s) => (Array.isArray(s) ? s : [])) : [];
  let seconds = 0;
  let low = Infinity;
  let high = 0;
  for (const row of rows) {
    seconds = Math.max(seconds, row.length);
    for (const v of row) {
      if (!isNumber(v)) continue;
      low = Math.min(low, v);
      high = Math.max(high, v);
    }
  }
  if (!seconds || !(high > 0)) return null;
  return {rows: rows, seconds: seconds, low: Math.max(0, Math.min(low, high / 2)), high: high};
}

// The map of one run: a row per thread, a column per second, with its colour
// scale and a caption that names the cell under the pointer.
function threadMap(placed) {
  const map = mapRows(placed.run);
  if (!map) {
    return {
      node: el('p', {class: 'note'}, 'This run was not recorded second by second.'),
      draw: () => null
    };
  }
  const canvas = el('canvas', {
    id: 'thread-map',
    role: 'img',
    'aria-label': 'MGups of each thread (rows) in each second (columns) of ' + runName(placed)
  });
  const caption =
      el('p', {class: 'sub', id: 'thread-map-caption'},
         'Rows T0 to T' + (map.rows.length - 1) + ', columns 0 to ' + map.seconds +
             ' s; point at the map to read a thread\'s second.');
  const node =
      el('div', {class: 'thread-map'}, mapScale(fixed2(map.low), fixed2(map.high) + ' MGups'),
         canvas, caption);
  const draw = () => {
    const span = map.high - map.low || 1;
    const painted = paintMap(canvas, map.rows, map.seconds, (v) => (v - map.low) / span);
    captionOnHover(
        canvas, caption, painted, map.rows, map.seconds,
        (thread, second, v) =>
            'T' + thread + ', ' + second + '\u2013' + (second + 1) + ' s: ' + fixed2(v) + ' MGups');
    return {
      run: runName(placed),
      rows: map.rows.length,
      seconds: map.seconds,
      rowHeight: painted.rowHeight,
      width: painted.width,
      low: map.low,
      high: map.high
    };
  };
  return {node: node, draw: draw};
}

function threadMapSection() {
  const part = section('threads', 'MGups of each thread');
  part.append(
      el('p', {class: 'note'},
         'One run at a time, picked from the list. The map has a row per thread and a ' +
             'column per second, coloured by the thread\'s rate in that second; the bars ' +
             'below are each thread\'s rate over the whole run, on the scale of its fastest.'));
  root.append(part);
  if (!placedRuns.length) {
    part.append(el('p', {class: 'note'}, 'No run has finished yet.'));
    return;
  }
  const select = el('select', {id: 'thread-map-run'});
  placedRuns.forEach(
      (placed, i) => select.append(
          el('option', {value: i},
             runName(placed) + ': ' + (placed.valid ? placed.scoreText + ' MGups' : 'invalid'))));
  // The last run: in a threads sweep the one with the most threads.
  select.value = String(placedRuns.length - 1);
  const holder = el('div', {id: 'thread-map-view'});
  part.append(el('label', {class: 'pick'}, 'Run ', select), holder);
  const show = () => {
    const placed = placedRuns[Number(select.value)];
    const map = threadMap(placed);
    let scale = 0;
    for (const thread of placed.run.threads || []) scale = Math.max(scale, thread.mgups);
    holder.replaceChildren(runCard(placed, scale, map.node));
    window.briskThreadMap = map.draw();
  };
  select.addEventListener('change', show);
  show();
}

// --- what else the machine did during each run ------------------------------

function percentText(value) {
  return typeof value === 'number' && isFinite(value) ? value.toFixed(1) + '%' : '---';
}

function countText(value) {
  return typeof value === 'number' && isFinite(value) ? String(value) : '---';
}

function clockText(c) {
  const ghz = (mhz) => typeof mhz === 'number' && isFinite(mhz) ? (mhz / 1000).toFixed(2) : null;
  const start = ghz(c.clock_start_mhz);
  const end = ghz(c.clock_end_mhz);
  if (start === null && end === null) return '---';
  const limit = ghz(c.clock_limit_mhz);
  const max = ghz(c.clock_max_mhz);
  const limited = limit !== null && max !== null && c.clock_limit_mhz < c.clock_max_mhz ?
      ' (limit ' + limit + ' of ' + max + ')' :
      '';
  return (start || '---') + ' \u2192 ' + (end || '---') + ' GHz' + limited;
}

// One row per run; absent from files written before the figures existed.
function conditionsSection() {
  const measured = placedRuns.filter((p) => p.run.conditions);
  if (!measured.length) return null;
  const head = el('tr', null);
  for (const name
           of ['run', 'other load', 'steal', 'brisk on processor', 'involuntary switches',
               'major faults', 'clock']) {
    head.append(el('th', {scope: 'col'}, name));
  }
  const body = el('tbody');
  for (const placed of measured) {
    const c = placed.run.conditions;
    const busy = typeof c.other_load_percent === 'number' && c.other_load_percent > 10;
    body.append(el(
        'tr', null, el('th', {scope: 'row'}, runName(placed)),
        el('td', busy ? {class: 'warned', title: 'its score is lower than the machine\'s'} : null,
           percentText(c.other_load_percent)),
        el('td', null, percentText(c.steal_percent)),
        el('td', null, percentText(c.on_processor_percent)),
        el('td', null, countText(c.involuntary_context_switches)),
        el('td', null, countText(c.major_page_faults)), el('td', null, clockText(c))));
  }
  return el(
      'section', {id: 'conditions'}, el('h2', null, 'What else the machine did'),
      el('p', {class: 'note'},
         'Measured from system counters just before each run\'s threads started and ' +
             'just after they ended; the clock is brisk\'s own measurement around its ' +
             'threads\' timed loops; --- where this system cannot tell.'),
      el('div', {class: 'table-wrap'},
         el('table', {id: 'conditions-table'}, el('thead', null, head), body)));
}

// --- page ------------------------------------------------------------------

document.title = 'brisk ' + data.brisk.version + ' ' +
    (data.stability ? 'stability' : variable + ' sweep') + ', ' + utc(data.brisk.start_time) +
    (finished ? '' : ' (running)');
root.append(header());
if (data.schema && data.schema.version !== 1) {
  root.append(
      el('p', {class: 'notice warn'},
         'This page was written for results version 1; ' +
             'the document says ' + data.schema.version + '.'));
}
// A stability check has no sweep: its table of logical processors is the page.
if (data.stability) {
  root.append(stabilitySection(data.stability));
  ready();
  return;
}
root.append(resultsTable());
const conditions = conditionsSection();
if (conditions) root.append(conditions);
chartSection();
scalingSection();
timelineSection();
if (threadMapWanted()) {
  threadMapSection();
} else {
  root.append(threadSection());
}
ready();
})();
