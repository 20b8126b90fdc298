// Draws one chart per machine and run settings: each saved run a dot at its
// start time, the best one marked.
(function() {
'use strict';

const {el, fixed2} = briskPage;

function groupRuns(runs) {
  const groups = new Map();
  for (const run of runs) {
    const key = run.machine + '\u0000' + run.settings;
    if (!groups.has(key)) groups.set(key, {cpu: run.cpu, settings: run.settings, runs: []});
    groups.get(key).runs.push(run);
  }
  return Array.from(groups.values());
}

function bestOf(runs) {
  let best = runs[0];
  for (const run of runs) {
    if (run.average > best.average) best = run;
  }
  return best;
}

function drawGroup(main, group, index) {
  const section = el('section', {class: 'series', id: 'series-' + index},
                     el('h2', null, group.cpu + ' \u2014 ' + group.settings));
  const best = bestOf(group.runs);
  const note =
      el('p', {class: 'best'},
         'best: ' + fixed2(best.average) + ' MGups (id ' + best.id + ', ' + best.time + ')');
  section.appendChild(note);
  const chart = el('div', {class: 'chart'});
  section.appendChild(chart);
  main.appendChild(section);
  const rows = group.runs.map(function(run) {
    return [new Date(run.time), run.average, run === best ? run.average : null];
  });
  rows.sort(function(a, b) {
    return a[0] - b[0];
  });
  new Dygraph(chart, rows, {
    labels: ['time', 'average (MGups)', 'best'],
    drawPoints: true,
    strokeWidth: 0,
    pointSize: 3,
    series: {best: {pointSize: 7, color: '#b35900'}},
    ylabel: 'MGups',
    includeZero: true,
    xRangePad: 12,
    legend: 'follow'
  });
}

function main() {
  const root = document.getElementById('report');
  root.textContent = '';
  let runs = [];
  try {
    runs = JSON.parse(document.getElementById('brisk-data').textContent);
  } catch (error) {
    root.appendChild(el('p', {class: 'notice'}, 'The embedded history cannot be read.'));
    return;
  }
  root.appendChild(el('h1', null, 'brisk history: ' + runs.length + ' saved scores'));
  if (runs.length === 0) {
    root.appendChild(el('p', {class: 'notice'}, 'No saved result to draw yet.'));
    return;
  }
  groupRuns(runs).forEach(function(group, index) {
    drawGroup(root, group, index);
  });
}

main();
})();
