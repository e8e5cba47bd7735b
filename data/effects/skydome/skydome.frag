// Sky dome: two layers of the tileable cloud texture drifting at different
// speeds over a blue gradient that fades into the horizon colour, dimmed by
// daylight; the second texture (thunder) is added on top by tex2_factor.
uniform sampler2D s_texture_0;
uniform sampler2D s_texture_1;
uniform float time;
uniform vec4 horizon;
uniform float daylight;
uniform float tex2_factor;
uniform float tex2_scale;
uniform float tex2_offset;

varying vec2 cloudCoord;
varying float height;

void main()
{
    vec3 zenith = vec3(0.16, 0.30, 0.58);
    vec3 sky = mix(horizon.rgb, zenith, smoothstep(0.0, 0.6, height));

    // Slow high layer under a faster, larger low layer: parallax sells depth.
    vec4 high = texture2D(s_texture_0, cloudCoord * 1.7 + vec2(time * 0.6, time * 0.25));
    vec4 low = texture2D(s_texture_0, cloudCoord + vec2(time, -time * 0.4));
    vec3 colour = mix(sky, high.rgb, high.a * 0.6);
    colour = mix(colour, low.rgb, low.a);

    // Distant clouds take on the horizon's haze.
    colour = mix(horizon.rgb, colour, smoothstep(0.0, 0.35, height));
    colour *= daylight;

    vec3 flash = texture2D(s_texture_1, cloudCoord * tex2_scale + vec2(tex2_offset)).rgb;
    colour += flash * tex2_factor;

    gl_FragColor = vec4(colour, 1.0);
}
